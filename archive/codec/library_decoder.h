//===-- codec/library_decoder.h - Driver of the library decoders -*- C++ -*-===//
//
// Private to the codec: callers use codec/stream_decoder.h.
//
// The wrappers of libbz2, liblzma and libzstd differ only in how they start,
// run and stop their library. LibraryDecoder does the rest once: the record's
// pointers and totals, the bound on input at the compressed size, sticky
// errors, and starting the library again for a stream that follows the first.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/stream_decoder.h"

namespace arc::codec_detail {

/// How one call of the library ended.
enum class StepStatus : uint8_t {
  Ok,         ///< went on, with or without progress
  StreamEnd,  ///< a whole stream (or frame) ended with the bytes consumed
  DataError,  ///< the data are invalid; Step::msg says why
  MemError,   ///< the stream needs more memory than allowed or available
};

/// One call of the library: what it was given and what it did with it.
struct Step {
  const uint8_t* in = nullptr;
  size_t inLength = 0;
  uint8_t* out = nullptr;
  size_t outLength = 0;
  /// `in` holds every compressed byte the entry has left.
  bool lastInput = false;
  size_t consumed = 0;  ///< set by the wrapper
  size_t produced = 0;  ///< set by the wrapper
  const char* msg = nullptr;
};

class LibraryDecoder : public StreamDecoder {
 public:
  explicit LibraryDecoder(const DecoderOptions& options) : options_(options) {}

  int Init(CodecStream& strm) final;
  int Decode(CodecStream& strm) final;
  int Reset(CodecStream& strm) final;
  void End(CodecStream& strm) final;

 protected:
  const DecoderOptions& Options() const { return options_; }
  bool SizeKnown() const { return options_.compressedSize != kUnknownSize; }

  /// Starts the library for a new stream: Ok, MemError or StreamError, with
  /// `msg` set on failure.
  virtual int Start(const char*& msg) = 0;
  /// One call of the library over the step's buffers.
  virtual StepStatus Run(Step& step) = 0;
  /// Releases what Start took; safe to call twice.
  virtual void Stop() = 0;
  /// True when a further stream may follow the first inside the compressed
  /// size and the driver is to start the library again for it.
  virtual bool RestartsForNextStream() const { return true; }

 private:
  enum class Phase : uint8_t { Idle, Running, Ended, Failed };

  int Fail(CodecStream& strm, int result, const char* msg);

  DecoderOptions options_;
  Phase phase_ = Phase::Idle;
  int failure_ = 0;
  const char* failureMsg_ = nullptr;
};

/// Constructors of the wrappers (one file each).
std::unique_ptr<StreamDecoder> MakeBzip2Decoder(const DecoderOptions& options);
std::unique_ptr<StreamDecoder> MakeLzmaDecoder(const DecoderOptions& options);
std::unique_ptr<StreamDecoder> MakeXzDecoder(const DecoderOptions& options);
std::unique_ptr<StreamDecoder> MakeZstdDecoder(const DecoderOptions& options);

}  // namespace arc::codec_detail

//===-- unzip/unzip_decode.cpp - Writing an entry's data ------------------===//
//
// The decoders by method: 0 copies; 8 and 9 (the inflater), 12 (bzip2), 14
// (LZMA), 93 (Zstandard) and 95 (XZ) go through the decompress adapter; 1 to
// 6 go to the legacy decoders. An AES entry (99) is decoded by the real
// method of its 0x9901 block, its data decrypted on the way, and its
// authentication code checked after them. Every decoder writes through
// WriteBlock, which keeps the running CRC, and follows the data into the next
// volume of a split or spanned archive when the current one ends.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <vector>

#include <arc/support/error_codes.h>
#include "codec/stream_decoder.h"
#include "support/stream_adapters.h"
#include "support/stream_memory.h"
#include "unzip/legacy/legacy_io.h"
#include "unzip/zip_extractor.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

constexpr uint32_t kCopyBlock = 32768;
constexpr uint32_t kInflateChunk = 32768;

}  // namespace

bool ZipExtractor::CanDecode(uint16_t method) {
  return method == kMethodStored || HasStreamDecoder(method) || IsLegacyMethod(method);
}

void ZipExtractor::Decompress(EntryInfo& info, bool encrypted) {
  z_.SetRunningCrc(kCrc32Init);
  // The encryption header was taken by the password check; an AES entry's
  // code follows its data.
  const uint64_t overhead = encrypted ? info.EncryptionOverhead() : 0;
  info.compressedSize = info.compressedSize >= overhead ? info.compressedSize - overhead : 0;
  const int64_t dataStart =
      info.dataPos + (encrypted ? static_cast<int64_t>(info.EncryptionHeaderLen()) : 0);
  if (archive_->Seek(dataStart, TSeekOrigin::soBeginning) != dataStart) return;
  readTo_ = -1;
  readBeyond_ = 0;
  if (aes_) aes_->SetDataLength(info.compressedSize);
  const uint16_t method = info.DataMethod();
  if (IsLegacyMethod(method)) {
    LegacyData(info, encrypted);
  } else {
    // However the decoder leaves, the worker is gone before the output
    // file is closed.
    struct PipelineGuard {
      std::unique_ptr<BlockPipeline>& pipe;
      ~PipelineGuard() { pipe.reset(); }
    } guard{pipe_};
    if (UsePipeline(info)) StartPipeline();
    if (method == kMethodStored) {
      CopyStored(info, encrypted);
    } else {
      StreamData(info, encrypted);
    }
    EndPipeline();
  }
  if (aes_ && !z_.Cancel()) Authenticate();
}

uint32_t ZipExtractor::Decipher(uint8_t* data, uint32_t count) {
  if (aes_) return static_cast<uint32_t>(aes_->Decrypt(std::span<uint8_t>(data, count)));
  z_.DecipherBlock(data, static_cast<int32_t>(count));
  return count;
}

bool ZipExtractor::ReadFollowingVolumes(uint8_t* data, uint32_t count, int64_t stillToRead) {
  while (count > 0) {
    const int32_t got = archive_->Read(data, static_cast<int32_t>(count));
    if (got <= 0) {
      if (IsMultiVolume() && NextVolumeForData(stillToRead)) continue;
      return false;
    }
    data += got;
    count -= static_cast<uint32_t>(got);
    stillToRead -= got;
  }
  return true;
}

void ZipExtractor::Authenticate() {
  // The code covers every encrypted byte of the entry once: what the decoder
  // read was taken on the way, what it left unread is taken here.
  authFailed_ = true;
  const int64_t next = readTo_ - readBeyond_;
  if (readTo_ < 0 || next < 0 || archive_ == nullptr ||
      archive_->Seek(next, TSeekOrigin::soBeginning) != next) {
    return;
  }
  std::vector<uint8_t> buf(kCopyBlock);
  while (aes_->Remaining() > 0 && !z_.Cancel()) {
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(aes_->Remaining(), kCopyBlock));
    const auto left = static_cast<int64_t>(aes_->Remaining() + kAesCodeLen);
    if (!ReadFollowingVolumes(buf.data(), n, left)) return;
    aes_->Authenticate(std::span<const uint8_t>(buf.data(), n));
  }
  std::array<uint8_t, kAesCodeLen> code{};
  if (z_.Cancel() || !ReadFollowingVolumes(code.data(), kAesCodeLen, kAesCodeLen)) return;
  authFailed_ = !aes_->CheckCode(code);
}

bool ZipExtractor::WriteBlock(uint8_t* data, uint32_t count, bool decipher) {
  produced_ += count;
  if (decipher) Decipher(data, count);
  if (!toFiles_) {
    // Testing: the data only goes through the CRC.
    uint32_t crc = z_.RunningCrc();
    Crc32Update(data, static_cast<int32_t>(count), crc);
    z_.SetRunningCrc(crc);
    return true;
  }
  THandleStream32 out(out_.get());
  const auto n = static_cast<int32_t>(count);
  // A full disk raises the fatal 25160 inside; any other short write was
  // reported as 25136 and ends the entry.
  if (z_.WriteBlock(out, data, n, BlockCipher::None) == n) {
    return true;
  }
  writeFailed_ = true;
  return false;
}

void ZipExtractor::CopyStored(const EntryInfo& info, bool encrypted) {
  std::vector<uint8_t> buf(pipe_ ? 0 : kCopyBlock);
  // Stored data is as long as both sizes say; where they disagree, never
  // read past the entry's own bytes into the records that follow.
  const auto size = static_cast<int64_t>(std::min(info.uncompressedSize, info.compressedSize));
  // More stored bytes than the entry's size: the rest is not silently dropped.
  longData_ = info.compressedSize > info.uncompressedSize;
  int64_t left = size;
  while (left > 0 && !z_.Cancel()) {
    const auto want = static_cast<int32_t>(std::min<int64_t>(left, kCopyBlock));
    uint8_t* room = Room(buf.data(), static_cast<uint32_t>(want));
    if (room == nullptr) return;
    const int32_t got = archive_->Read(room, want);
    if (got <= 0) {
      if (IsMultiVolume() && NextVolumeForData(left + DataTrailer())) continue;
      break;
    }
    if (!Put(room, static_cast<uint32_t>(got), encrypted)) return;
    left -= got;
    z_.Totals().remaining -= got;
    z_.DoProgress(list_.compressedTotal, size, size - left);
  }
  // A volume that could not be had leaves no archive open.
  readTo_ = archive_ ? archive_->Position() : -1;
}

void ZipExtractor::LegacyData(const EntryInfo& info, bool encrypted) {
  const uint16_t method = info.DataMethod();
  const auto size = static_cast<int64_t>(info.uncompressedSize);
  // Compressed bytes not yet read: the decoders stop at the declared size,
  // and a volume switch needs to know where the next record stands.
  int64_t left = static_cast<int64_t>(info.compressedSize);
  LegacyIo io;
  io.readBlock = [&](uint8_t* p, uint32_t n) -> uint32_t {
    const auto want = static_cast<int32_t>(std::min<int64_t>(n, std::max<int64_t>(left, 0)));
    if (want <= 0) return 0;
    int32_t got = z_.ReadBlock(*archive_, p, want, false, false);
    if (got <= 0 && IsMultiVolume() && NextVolumeForData(left + DataTrailer())) {
      got = z_.ReadBlock(*archive_, p, want, false, false);
    }
    if (got <= 0) return 0;
    if (encrypted) Decipher(p, static_cast<uint32_t>(got));
    left -= got;
    return static_cast<uint32_t>(got);
  };
  io.writeBlock = [this](uint8_t* p, uint32_t n) { return WriteBlock(p, n, false); };
  io.onProgress = [&](uint32_t n, uint64_t written) {
    z_.Totals().remaining -= n;
    z_.DoProgress(z_.Totals().total, size, static_cast<int64_t>(written));
  };
  io.onError = [this](int32_t code, LegacySeverity severity) {
    if (severity == LegacySeverity::Raise) {
      z_.RaiseError(z_.EntryName(), "", "0", code);
    } else {
      z_.ReportError(z_.EntryName(), "", "0", code);
    }
  };
  io.cancel = z_.CancelFlag();
  io.compressedSize = info.compressedSize;
  io.uncompressedSize = info.uncompressedSize;
  const int32_t status = DecodeLegacy(method, info.flags, io);
  // The decoders pass every failure on themselves, but for a lack of memory.
  if (status == ec::OutOfMemory) z_.ReportError(z_.EntryName(), "", "0", ec::OutOfMemory);
  readTo_ = archive_ ? archive_->Position() : -1;
}

void ZipExtractor::StreamData(const EntryInfo& info, bool encrypted) {
  // Where the adapter is pointed when no next volume could be had, so that
  // it never refers to a closed one.
  TMemoryStream32 nothing;
  DecoderOptions options;
  options.flags = info.flags;
  options.compressedSize = info.compressedSize;
  options.uncompressedSize = info.uncompressedSize;
  TDecompressStream stream(*archive_, MakeStreamDecoder(info.DataMethod(), options));
  if (stream.InitResult() != inflate_result::kOk) {
    // An engine that cannot start would make no progress at all; one that
    // asks for more memory than a decoder may take is refused.
    z_.ReportError(z_.EntryName(), "", "0", ec::OutOfMemory);
    return;
  }
  stream.control.Cancel = z_.CancelFlag();
  stream.control.encrypted = encrypted;
  // What the adapter reads ahead past the encrypted data (the code, the
  // next record) is left as it is and counted, so that the code is found.
  stream.control.cipher = [this](uint8_t* p, uint32_t n) { readBeyond_ += n - Decipher(p, n); };
  std::vector<uint8_t> buf(pipe_ ? 0 : kInflateChunk);
  const auto size = static_cast<int64_t>(info.uncompressedSize);
  int64_t expected = size;
  while (expected > 0 && !z_.Cancel()) {
    z_.dialogs.PumpMessages();
    const auto chunk = static_cast<int32_t>(std::min<int64_t>(expected, kInflateChunk));
    uint8_t* room = Room(buf.data(), static_cast<uint32_t>(chunk));
    if (room == nullptr) return;
    const int32_t result = stream.Read(room, chunk);
    const auto produced =
        static_cast<int32_t>(chunk - static_cast<int32_t>(stream.Engine().avail_out));
    if (produced > 0) {
      if (!Put(room, static_cast<uint32_t>(produced), false)) return;
      expected -= produced;
      z_.Totals().remaining -= produced;
      z_.DoProgress(z_.Totals().total, size, size - expected);
    }
    if (result == inflate_result::kBufError && IsMultiVolume()) {
      // The input ran out: the data goes on at the start of the next volume.
      const int64_t unread = static_cast<int64_t>(info.compressedSize) -
                             static_cast<int64_t>(stream.Engine().total_in);
      if (!NextVolumeForData(std::max<int64_t>(unread, 0) + DataTrailer())) {
        stream.SetStream(&nothing);
        break;
      }
      stream.SetStream(archive_.get());
      stream.SetStreamPos(0);
      readBeyond_ = 0;
      continue;
    }
    // Damaged or short data, or a stream that ended before the declared size:
    // what did not come will not come (the CRC check judges the rest).
    if (result < 0 || (stream.control.endOfData && expected > 0)) {
      z_.Totals().remaining -= expected;
      break;
    }
  }
  // All the declared bytes came; a stream that goes on decodes to more than
  // the entry says it holds.
  if (expected == 0 && !stream.control.endOfData && !z_.Cancel()) {
    uint8_t beyond = 0;
    stream.Read(&beyond, 1);
    longData_ = stream.Engine().avail_out == 0;
  }
  // The adapter hands back what it read ahead; the bytes it decrypted on the
  // way were taken into the code already.
  if (stream.Stream() == archive_.get()) readTo_ = stream.StreamPos();
}

}  // namespace arc

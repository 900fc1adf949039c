//===-- codec/parallel_deflate.cpp - Raw Deflate on every core ------------===//
#include "codec/parallel_deflate.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace arc {
namespace {

/// Room a piece's output may need beyond deflateBound: the sync flush's
/// empty stored block (3 bits, padding, 4 bytes) and some slack.
constexpr size_t kFlushSlack = 64;

}  // namespace

/// A piece of input and, once deflated, its part of the stream.
struct ParallelDeflate::Piece {
  std::unique_ptr<uint8_t[]> input;
  uint32_t size = 0;
  uint8_t dictionary[kDeflateDictionary];
  uint32_t dictionarySize = 0;
  bool last = false;
  std::vector<uint8_t> output;  // grows once to the bound of a full piece
  uint32_t outputSize = 0;
  uint32_t crc = 0;
  bool ok = false;  // the engine took the piece
};

/// One deflate state, reset for every piece. Used by one thread at a time.
class ParallelDeflate::PieceCompressor {
 public:
  explicit PieceCompressor(int level) : level_(level) {}
  ~PieceCompressor() {
    if (active_) deflateEnd(&strm_);
  }
  PieceCompressor(const PieceCompressor&) = delete;
  PieceCompressor& operator=(const PieceCompressor&) = delete;

  /// Deflates the piece into its output; false when the engine refused.
  bool Run(Piece& p) {
    p.ok = false;
    p.outputSize = 0;
    p.crc = static_cast<uint32_t>(crc32(0, p.input.get(), p.size));
    if (!Start()) return false;
    if (p.dictionarySize > 0 &&
        deflateSetDictionary(&strm_, p.dictionary, p.dictionarySize) != Z_OK)
      return false;
    const size_t bound = deflateBound(&strm_, p.size) + kFlushSlack;
    if (p.output.size() < bound) p.output.resize(bound);
    const int flush = p.last ? Z_FINISH : Z_SYNC_FLUSH;
    strm_.next_in = p.input.get();
    strm_.avail_in = p.size;
    for (;;) {
      strm_.next_out = p.output.data() + p.outputSize;
      strm_.avail_out = static_cast<uInt>(p.output.size() - p.outputSize);
      const uInt room = strm_.avail_out;
      const int result = deflate(&strm_, flush);
      p.outputSize += room - strm_.avail_out;
      if (result == Z_STREAM_END) break;
      if (result != Z_OK) return false;
      // A sync flush is complete once the input is gone and room is left.
      if (!p.last && strm_.avail_in == 0 && strm_.avail_out > 0) break;
      if (strm_.avail_out == 0) {
        p.output.resize(p.output.size() * 2);  // beyond the bound: never, in practice
      } else if (room == strm_.avail_out) {
        return false;  // neither input taken nor output made
      }
    }
    strm_.next_in = nullptr;
    strm_.avail_in = 0;
    p.ok = true;
    return true;
  }

 private:
  bool Start() {
    if (failed_) return false;
    if (active_) return deflateReset(&strm_) == Z_OK;
    strm_.zalloc = DeflateAlloc;
    strm_.zfree = DeflateFree;
    active_ = deflateInit2(&strm_, level_, Z_DEFLATED, kDeflateWindowBits, kDeflateMemLevel,
                           Z_DEFAULT_STRATEGY) == Z_OK;
    failed_ = !active_;
    return active_;
  }

  z_stream strm_{};
  const int level_;
  bool active_ = false;
  bool failed_ = false;
};

ParallelDeflate::ParallelDeflate(TDeflateType type, unsigned threads, uint32_t pieceSize)
    : type_(type),
      threads_(threads == 0 ? CoreCount() : threads),
      pieceSize_(std::clamp(pieceSize, kMinPieceSize, kMaxPieceSize)) {
  if (threads_ == 1) {
    single_ = std::make_unique<DeflateEngine>(type);
    failed_ = single_->Failed();
  }
}

ParallelDeflate::~ParallelDeflate() { Abort(); }

uint64_t ParallelDeflate::TotalIn() const { return single_ ? single_->TotalIn() : totalIn_; }
uint64_t ParallelDeflate::TotalOut() const { return single_ ? single_->TotalOut() : totalOut_; }

void ParallelDeflate::Abort() noexcept {
  if (queue_) queue_->Stop();
}

void ParallelDeflate::End() {
  Abort();
  if (single_) single_->End();
  queue_.reset();
  compressors_.clear();
  pieces_.clear();
  free_.clear();
  filling_ = previous_ = nullptr;
  failed_ = true;
}

namespace {

/// The single stream's client, keeping the CRC on the way.
class CrcForwarder final : public DeflateClient {
 public:
  CrcForwarder(DeflateClient& client, uint32_t& crc) : client_(client), crc_(crc) {}
  bool Cancelled() const override { return client_.Cancelled(); }
  void Consumed(const uint8_t* data, uint32_t count) override {
    crc_ = static_cast<uint32_t>(crc32(crc_, data, count));
    client_.Consumed(data, count);
  }
  void Output(uint8_t* data, uint32_t count) override { client_.Output(data, count); }
  void Stepped() override { client_.Stepped(); }

 private:
  DeflateClient& client_;
  uint32_t& crc_;
};

}  // namespace

DeflateStatus ParallelDeflate::Compress(const uint8_t* data, uint32_t count,
                                        DeflateClient& client) {
  if (single_) {
    CrcForwarder forward(client, crc_);
    const DeflateStatus status = single_->Compress(data, count, forward);
    failed_ = single_->Failed();
    return status;
  }
  nextIn_ = data;
  availIn_ = count;
  const DeflateStatus status = Guarded(client, &ParallelDeflate::TakeInput);
  nextIn_ = nullptr;
  availIn_ = 0;
  return status;
}

DeflateStatus ParallelDeflate::Finish(DeflateClient& client) {
  if (single_) {
    CrcForwarder forward(client, crc_);
    const DeflateStatus status = single_->Finish(forward);
    finished_ = single_->Finished();
    failed_ = single_->Failed();
    return status;
  }
  return Guarded(client, &ParallelDeflate::Complete);
}

// Whatever leaves a step by exception (a write of the client, or what a
// worker threw) stops the workers first and leaves the engine failed.
DeflateStatus ParallelDeflate::Guarded(DeflateClient& client,
                                       DeflateStatus (ParallelDeflate::*step)(DeflateClient&)) {
  if (failed_) return DeflateStatus::Failed;
  if (cancelled_) return DeflateStatus::Cancelled;
  DeflateStatus status;
  try {
    status = (this->*step)(client);
  } catch (...) {
    failed_ = true;
    Abort();
    throw;
  }
  if (status != DeflateStatus::Done) Abort();
  if (status == DeflateStatus::Failed) failed_ = true;
  if (status == DeflateStatus::Cancelled) cancelled_ = true;
  return status;
}

DeflateStatus ParallelDeflate::TakeInput(DeflateClient& client) {
  if (finished_) return availIn_ == 0 ? DeflateStatus::Done : DeflateStatus::Failed;
  while (availIn_ > 0) {
    if (client.Cancelled()) return DeflateStatus::Cancelled;
    if (filling_ != nullptr && filling_->size == pieceSize_) {
      // A full piece is sent only once more input shows it is not the last.
      Dispatch(false, client);
      if (failed_) return DeflateStatus::Failed;
      continue;
    }
    if (filling_ == nullptr) StartPiece();
    const uint32_t n = std::min(availIn_, pieceSize_ - filling_->size);
    std::memcpy(filling_->input.get() + filling_->size, nextIn_, n);
    filling_->size += n;
    totalIn_ += n;
    client.Consumed(nextIn_, n);
    nextIn_ += n;
    availIn_ -= n;
    HandOnReady(client);
    if (failed_) return DeflateStatus::Failed;
  }
  if (client.Cancelled()) return DeflateStatus::Cancelled;
  client.Stepped();
  return DeflateStatus::Done;
}

DeflateStatus ParallelDeflate::Complete(DeflateClient& client) {
  if (finished_) return DeflateStatus::Done;
  if (client.Cancelled()) return DeflateStatus::Cancelled;
  if (filling_ == nullptr) StartPiece();  // nothing was written: an empty stream
  if (piecesSent_ == 0) {
    // The only piece: deflated here in one go, with no worker started; the
    // bytes are those of the single stream.
    Piece* p = filling_;
    filling_ = nullptr;
    p->last = true;
    PieceCompressor(DeflateLevel(type_)).Run(*p);
    ++piecesSent_;
    HandOn(p, client);
  } else {
    Dispatch(true, client);
  }
  while (!failed_ && queue_ && queue_->Pending() > 0) {
    if (client.Cancelled()) return DeflateStatus::Cancelled;
    HandOn(queue_->Take(), client);
  }
  if (failed_) return DeflateStatus::Failed;
  Abort();
  finished_ = true;
  return DeflateStatus::Done;
}

void ParallelDeflate::StartPiece() {
  Piece* p;
  if (!free_.empty()) {
    p = free_.back();
    free_.pop_back();
  } else {
    // Never more than threads + 2: the queue holds threads + 1 at most.
    pieces_.push_back(std::make_unique<Piece>());
    p = pieces_.back().get();
    p->input.reset(new uint8_t[pieceSize_]);
  }
  p->size = 0;
  p->last = false;
  // The last sent piece is still whole: its memory is reused only by the
  // piece started after this one.
  p->dictionarySize = 0;
  if (previous_ != nullptr) {
    p->dictionarySize = std::min(previous_->size, kDeflateDictionary);
    std::memcpy(p->dictionary, previous_->input.get() + previous_->size - p->dictionarySize,
                p->dictionarySize);
  }
  filling_ = p;
}

void ParallelDeflate::Dispatch(bool last, DeflateClient& client) {
  Piece* p = filling_;
  filling_ = nullptr;
  p->last = last;
  previous_ = p;
  if (!queue_) {
    compressors_.reserve(threads_);
    for (unsigned i = 0; i < threads_; ++i)
      compressors_.push_back(std::make_unique<PieceCompressor>(DeflateLevel(type_)));
    queue_ = std::make_unique<OrderedWorkQueue<Piece*>>(threads_, threads_ + 1);
  }
  // Waiting for the oldest piece; a cancel meanwhile drops this one.
  while (queue_->Full()) {
    if (failed_ || client.Cancelled()) return;
    HandOn(queue_->Take(), client);
  }
  queue_->Submit([this, p](unsigned worker) {
    compressors_[worker]->Run(*p);
    return p;
  });
  ++piecesSent_;
}

void ParallelDeflate::HandOnReady(DeflateClient& client) {
  while (!failed_ && queue_ && queue_->Ready() && !client.Cancelled())
    HandOn(queue_->Take(), client);
}

void ParallelDeflate::HandOn(Piece* p, DeflateClient& client) {
  free_.push_back(p);
  if (!p->ok) {
    failed_ = true;
    return;
  }
  crc_ = static_cast<uint32_t>(crc32_combine(crc_, p->crc, p->size));
  ++piecesOut_;
  uint32_t done = 0;
  while (done < p->outputSize) {
    const uint32_t n = std::min(p->outputSize - done, kDeflateBufferSize);
    client.Output(p->output.data() + done, n);
    done += n;
    totalOut_ += n;
  }
}

}  // namespace arc

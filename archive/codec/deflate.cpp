//===-- codec/deflate.cpp - Raw Deflate compression through zlib ----------===//
#include "codec/deflate.h"

#include <malloc.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace arc {
namespace {

/// Blocks of the engines that ended on this thread, kept for the next one.
/// A many-file archive starts an engine per entry; handing its some 270 KB
/// back each time frees them at the top of the heap, which the allocator
/// then returns to the system, only for the next engine to fault them in
/// again page by page.
class BlockPool {
 public:
  BlockPool() = default;
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;
  ~BlockPool() {
    closed_ = true;  // an engine that ends later frees its blocks itself
    for (Block& b : blocks_) {
      std::free(b.address);
      b = Block{};
    }
  }

  /// The smallest kept block of at least `bytes`, or null.
  void* Take(size_t bytes) {
    Block* best = nullptr;
    for (Block& b : blocks_)
      if (b.address != nullptr && b.size >= bytes && (best == nullptr || b.size < best->size))
        best = &b;
    if (best == nullptr) return nullptr;
    void* address = best->address;
    *best = Block{};
    return address;
  }
  /// Keeps `address` when there is room; false when the caller must free it.
  bool Keep(void* address) {
    const size_t size = malloc_usable_size(address);
    if (closed_ || size > kLargest) return false;
    for (Block& b : blocks_) {
      if (b.address == nullptr) {
        b = Block{address, size};
        return true;
      }
    }
    return false;
  }

 private:
  static constexpr size_t kLargest = size_t{256} * 1024;
  struct Block {
    void* address = nullptr;
    size_t size = 0;
  };
  std::array<Block, 8> blocks_{};
  bool closed_ = false;
};

thread_local BlockPool t_pool;

}  // namespace

voidpf DeflateAlloc(voidpf, uInt items, uInt size) {
  const size_t bytes = static_cast<size_t>(items) * size;
  if (void* kept = t_pool.Take(bytes)) return std::memset(kept, 0, bytes);
  return std::calloc(items, size);
}

void DeflateFree(voidpf, voidpf address) {
  if (address != nullptr && !t_pool.Keep(address)) std::free(address);
}

int DeflateLevel(TDeflateType type) {
  switch (type) {
    case dtDeflateS:
      return 0;
    case dtDeflateF:
      return 1;
    case dtDeflateN:
      return Z_DEFAULT_COMPRESSION;
    case dtDeflateX:
      return 9;
  }
  return Z_DEFAULT_COMPRESSION;
}

DeflateEngine::DeflateEngine(TDeflateType type, int windowBits, alloc_func alloc, free_func release,
                             void* opaque)
    : out_(new uint8_t[kDeflateBufferSize]) {
  strm_.zalloc = alloc != nullptr ? alloc : DeflateAlloc;
  strm_.zfree = release != nullptr ? release : DeflateFree;
  strm_.opaque = opaque;
  strm_.next_out = out_.get();
  strm_.avail_out = kDeflateBufferSize;
  initResult_ = deflateInit2(&strm_, DeflateLevel(type), Z_DEFLATED, windowBits, kDeflateMemLevel,
                             Z_DEFAULT_STRATEGY);
  lastResult_ = initResult_;
  active_ = initResult_ == Z_OK;
  failed_ = !active_;
}

DeflateEngine::~DeflateEngine() { End(); }

void DeflateEngine::End() {
  if (active_) deflateEnd(&strm_);
  active_ = false;
  failed_ = true;
  strm_.next_in = nullptr;
  strm_.avail_in = 0;
}

int DeflateEngine::Call(int flush) {
  const uint32_t inBefore = strm_.avail_in;
  const uint32_t outBefore = strm_.avail_out;
  lastResult_ = deflate(&strm_, flush);
  totalIn_ += inBefore - strm_.avail_in;
  totalOut_ += outBefore - strm_.avail_out;
  return lastResult_;
}

void DeflateEngine::HandOn(DeflateClient& client, uint32_t count) {
  if (count == 0) return;
  client.Output(out_.get(), count);
  strm_.next_out = out_.get();
  strm_.avail_out = kDeflateBufferSize;
}

DeflateStatus DeflateEngine::Compress(const uint8_t* data, uint32_t count, DeflateClient& client) {
  // The input belongs to the caller: never keep a pointer to it past this call.
  struct ForgetInput {
    z_stream& s;
    ~ForgetInput() {
      s.next_in = nullptr;
      s.avail_in = 0;
    }
  } forget{strm_};
  strm_.next_in = const_cast<Bytef*>(data);  // zlib's API is not const-correct
  strm_.avail_in = count;
  while (strm_.avail_in > 0) {
    if (failed_) return DeflateStatus::Failed;
    if (client.Cancelled()) return DeflateStatus::Cancelled;
    const uint8_t* piece = strm_.next_in;
    const uint32_t inBefore = strm_.avail_in;
    const uint32_t outBefore = strm_.avail_out;
    const int result = Call(Z_NO_FLUSH);
    const uint32_t consumed = inBefore - strm_.avail_in;
    if (consumed > 0) client.Consumed(piece, consumed);
    // With input and output space, a call that changes neither would be
    // repeated forever: treat it like a refusal.
    if (result != Z_OK || (consumed == 0 && outBefore == strm_.avail_out)) {
      failed_ = true;
      return DeflateStatus::Failed;
    }
    // A full buffer stays in place after a cancel; Finish still hands it on.
    if (client.Cancelled()) return DeflateStatus::Cancelled;
    if (strm_.avail_out == 0) HandOn(client, kDeflateBufferSize);
    client.Stepped();
  }
  return DeflateStatus::Done;
}

DeflateStatus DeflateEngine::Finish(DeflateClient& client) {
  strm_.next_in = nullptr;
  strm_.avail_in = 0;
  if (failed_) return DeflateStatus::Failed;
  for (;;) {
    if (client.Cancelled()) {
      HandOn(client, Buffered());
      return DeflateStatus::Cancelled;
    }
    // A full buffer that the client never took (its write threw) leaves no
    // room: the engine refuses with Z_BUF_ERROR and the loop ends below.
    const int result = Call(Z_FINISH);
    if (result != Z_OK && result != Z_STREAM_END) {
      failed_ = true;  // nothing more is written: the stream is not valid
      return DeflateStatus::Failed;
    }
    if (result == Z_STREAM_END) {
      finished_ = true;
      HandOn(client, Buffered());
      return DeflateStatus::Done;
    }
    if (strm_.avail_out > 0 || client.Cancelled()) {
      // The engine asks to be called again only when its output is full; a
      // partial buffer here means the stream cannot be completed.
      const bool cancelled = client.Cancelled();
      HandOn(client, Buffered());
      if (cancelled) return DeflateStatus::Cancelled;
      failed_ = true;
      return DeflateStatus::Failed;
    }
    HandOn(client, kDeflateBufferSize);
  }
}

std::vector<uint8_t> DeflateBuffer(const void* data, size_t size, TDeflateType type) {
  struct Collector final : DeflateClient {
    std::vector<uint8_t> out;
    bool Cancelled() const override { return false; }
    void Consumed(const uint8_t*, uint32_t) override {}
    void Output(uint8_t* bytes, uint32_t count) override {
      out.insert(out.end(), bytes, bytes + count);
    }
  } collector;
  DeflateEngine engine(type);
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const uint32_t piece =
        size > kDeflateBufferSize ? kDeflateBufferSize : static_cast<uint32_t>(size);
    if (engine.Compress(p, piece, collector) != DeflateStatus::Done) return {};
    p += piece;
    size -= piece;
  }
  if (engine.Finish(collector) != DeflateStatus::Done) return {};
  return std::move(collector.out);
}

}  // namespace arc

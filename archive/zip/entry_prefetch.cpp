//===-- zip/entry_prefetch.cpp - Small files read and deflated ahead ------===//
#include "zip/entry_prefetch.h"

#include <zlib.h>

#include <cstdlib>

#include "codec/deflate.h"

namespace arc {
namespace {

/// Batches sent per worker: enough that the writer rarely waits, few enough
/// that memory stays small (each at most twice kBatchBytes).
constexpr size_t kWindowPerWorker = 3;

}  // namespace

/// One deflate state per worker, reset for every file: starting a state for
/// each small file costs more than deflating it.
class EntryPrefetch::Compressor {
 public:
  explicit Compressor(int level) : level_(level) {}
  ~Compressor() {
    if (active_) deflateEnd(&strm_);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  /// The whole of `in` as one raw stream with the writer's parameters, in one
  /// call: the bytes of DeflateEngine's Compress and Finish.
  bool Deflate(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (!Start()) return false;
    out.resize(deflateBound(&strm_, static_cast<uLong>(in.size())));
    strm_.next_in = const_cast<Bytef*>(in.data());
    strm_.avail_in = static_cast<uInt>(in.size());
    strm_.next_out = out.data();
    strm_.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&strm_, Z_FINISH);
    out.resize(out.size() - strm_.avail_out);
    strm_.next_in = strm_.next_out = nullptr;
    return result == Z_STREAM_END;
  }

 private:
  bool Start() {
    if (active_) return deflateReset(&strm_) == Z_OK;
    strm_.zalloc = DeflateAlloc;
    strm_.zfree = DeflateFree;
    active_ = deflateInit2(&strm_, level_, Z_DEFLATED, kDeflateWindowBits, kDeflateMemLevel,
                           Z_DEFAULT_STRATEGY) == Z_OK;
    return active_;
  }

  z_stream strm_{};
  const int level_;
  bool active_ = false;
};

bool PrefetchedFile::StillCurrent(const std::string& path) const {
  struct stat now {};
  if (!ok || ::stat(path.c_str(), &now) != 0) return false;
  const struct stat& then = source->Opened();
  return now.st_dev == then.st_dev && now.st_ino == then.st_ino && now.st_size == then.st_size &&
         now.st_mtim.tv_sec == then.st_mtim.tv_sec && now.st_mtim.tv_nsec == then.st_mtim.tv_nsec;
}

EntryPrefetch::EntryPrefetch(TDeflateType type, unsigned workers)
    : level_(DeflateLevel(type)), workers_(workers), queue_(workers, kWindowPerWorker * workers) {
  for (unsigned i = 0; i < workers; ++i)
    compressors_.push_back(std::make_unique<Compressor>(level_));
}

EntryPrefetch::~EntryPrefetch() { queue_.Stop(); }

bool EntryPrefetch::Offer(int32_t index, const std::string& path, int64_t size) {
  if (gathering_.size() >= kBatchFiles || gatheredBytes_ + size > kBatchBytes) {
    if (!Submit()) return false;
  }
  gathering_.push_back(index);
  paths_.push_back(path);
  gatheredBytes_ += size;
  // An idle worker takes what there is; busy ones let the batch grow.
  if (queue_.Pending() < workers_) Submit();
  return true;
}

void EntryPrefetch::Flush() {
  if (queue_.Pending() < workers_) Submit();
}

bool EntryPrefetch::Submit() {
  if (gathering_.empty()) return true;
  if (queue_.Full()) return false;
  queue_.Submit([this, paths = std::move(paths_)](unsigned worker) {
    Batch batch;
    for (const std::string& path : paths) batch.push_back(Read(path, *compressors_[worker]));
    return batch;
  });
  sent_.push_back(std::move(gathering_));
  gathering_.clear();
  paths_.clear();
  gatheredBytes_ = 0;
  return true;
}

std::unique_ptr<PrefetchedFile> EntryPrefetch::Read(const std::string& path,
                                                    Compressor& compressor) {
  auto file = std::make_unique<PrefetchedFile>();
  try {
    file->source = std::make_unique<SourceFileStream>(path);
    SourceFileStream& source = *file->source;
    const int64_t size64 = source.Opened().st_size;
    if (!source.Valid() || size64 <= 0 || size64 > kMaxSize) return file;
    file->data.resize(static_cast<size_t>(size64));
    const auto size = static_cast<int32_t>(file->data.size());
    if (source.Read(file->data.data(), size) != size || !source.PassComplete()) return file;
    file->ok = compressor.Deflate(file->data, file->deflated);
  } catch (...) {
    file->ok = false;  // the writer reads this one itself, and reports
  }
  return file;
}

std::unique_ptr<PrefetchedFile> EntryPrefetch::Take(int32_t index) {
  for (;;) {
    while (!takenIndexes_.empty()) {
      const int32_t at = takenIndexes_.front();
      if (at > index) return nullptr;
      takenIndexes_.pop_front();
      std::unique_ptr<PrefetchedFile> file = std::move(taken_[takenNext_++]);
      if (at == index) return file;
    }
    // The next batch: one sent, or the one being gathered when it holds
    // the entry (the writer caught up with the readers).
    if (sent_.empty() && !gathering_.empty() && gathering_.front() <= index) Submit();
    if (sent_.empty() || sent_.front().front() > index) return nullptr;
    taken_ = queue_.Take();
    takenIndexes_.assign(sent_.front().begin(), sent_.front().end());
    sent_.pop_front();
    takenNext_ = 0;
  }
}

}  // namespace arc

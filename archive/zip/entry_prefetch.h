//===-- zip/entry_prefetch.h - Small files read and deflated ahead -*- C++ -*-===//
//
// With many small files an update spends its time opening, reading and
// deflating one file after another. While the writer's thread writes entry
// n, workers open, read, checksum and deflate the small files that follow
// it in the header list, into memory:
//
//   header list   ... n  n+1  n+2  ...  n+k        k: the window
//   writer        writes n (events, headers, data) in list order
//   workers                opened, read and deflated, in any order
//
// The writer takes each result in list order when it reaches that entry,
// after its OnBegin and rename question, and writes it as it would have
// written the file itself, firing the same pump and progress events; a file
// that changed since it was read ahead (or the result of an entry it did
// not reach) is dropped and the entry written the usual way. The deflated
// bytes are those of the single stream, so the archive is the same whatever
// the thread count.
//
// Only plain deflated files of at most one copy chunk are read ahead: a
// larger one is read in several chunks with events between them, and an
// encrypted one needs its cipher in order. Files go to the workers in
// batches (one file when a worker is idle, up to kBatchFiles when all are
// busy), so that a tiny file does not cost a hand-over between threads.
// Memory stays bounded: a window of batches of at most kBatchBytes each,
// their input and output.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <arc/codec/deflate_type.h>
#include "codec/ordered_work_queue.h"
#include "zip/source_stream.h"

namespace arc {

/// A file read and deflated ahead of the writer.
struct PrefetchedFile {
  /// Open, measured, and read once in full (PassComplete, PassCrc, PassIsText).
  std::unique_ptr<SourceFileStream> source;
  std::vector<uint8_t> data;      ///< the file's bytes
  std::vector<uint8_t> deflated;  ///< the single stream of them
  bool ok = false;                ///< all of the above worked

  /// The file at `path` is still the one that was read: same file, size
  /// and modification time.
  bool StillCurrent(const std::string& path) const;
};

class EntryPrefetch {
 public:
  /// Files of at most this many bytes are read ahead.
  static constexpr int64_t kMaxSize = kCopyChunk;

  EntryPrefetch(TDeflateType type, unsigned workers);
  /// Stops and joins the workers; results not taken are dropped.
  ~EntryPrefetch();
  EntryPrefetch(const EntryPrefetch&) = delete;
  EntryPrefetch& operator=(const EntryPrefetch&) = delete;

  /// The engine level the files are deflated at.
  int Level() const { return level_; }

  /// Offers the entry `index` (in increasing order), of `size` bytes when
  /// it was found, for reading ahead; false when the window is full and it
  /// was not taken.
  bool Offer(int32_t index, const std::string& path, int64_t size);
  /// Hands the files offered so far to an idle worker.
  void Flush();
  /// The result for entry `index`; null when it was not read ahead. The
  /// results of entries before it are dropped.
  std::unique_ptr<PrefetchedFile> Take(int32_t index);

 private:
  class Compressor;

  using Batch = std::vector<std::unique_ptr<PrefetchedFile>>;
  static constexpr size_t kBatchFiles = 16;
  static constexpr int64_t kBatchBytes = int64_t{256} * 1024;

  /// Sends the batch being gathered to the workers, when there is room.
  bool Submit();
  /// A worker's part: opens, reads and deflates one file.
  static std::unique_ptr<PrefetchedFile> Read(const std::string& path, Compressor& compressor);

  const int level_;
  const unsigned workers_;
  std::vector<std::unique_ptr<Compressor>> compressors_;
  OrderedWorkQueue<Batch> queue_;
  // The batch being gathered: its entries' indexes and paths, their bytes.
  std::vector<int32_t> gathering_;
  std::vector<std::string> paths_;
  int64_t gatheredBytes_ = 0;
  /// The indexes of every batch sent and not taken, in order.
  std::deque<std::vector<int32_t>> sent_;
  /// The batch taken last, with the indexes of its files not yet asked for.
  Batch taken_;
  std::deque<int32_t> takenIndexes_;
  size_t takenNext_ = 0;
};

}  // namespace arc

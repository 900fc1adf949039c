//===-- unzip/unzip_parallel.cpp - Small entries on worker threads --------===//
//
// Many small entries are extracted side by side: the caller's thread walks
// the entries, reads each one's compressed bytes (through the read-ahead
// windows) and creates its output file, and a worker inflates, checksums,
// writes, dates and closes it. The entries are then ended on the caller's
// thread in archive order, with the progress, reports and OnEnd that the
// ordinary path raises for them, so that callers see the same events in the
// same order on the same thread.
//
// Only an entry that raises no event before its data is written is queued:
// no OnBegin handler, not encrypted, stored or deflated, a plain safe name,
// and nothing standing at its output name when overwrites are confirmed.
// Any other entry first ends the queued ones, then goes the ordinary way.
// Workers touch neither the component nor the extractor: what they need is
// copied into the job, what they find is given back in it.
//
//===----------------------------------------------------------------------===//
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <arc/codec/crc.h>
#include <arc/support/error_codes.h>
#include <arc/support/paths.h>
#include "codec/stream_decoder.h"
#include "support/stream_adapters.h"
#include "support/stream_memory.h"
#include "unzip/zip_extractor.h"

namespace arc {
namespace {

/// Larger entries go the ordinary way (with the pipeline when they are
/// large enough for it); at most this much is held per queued entry, twice.
constexpr uint64_t kParallelMaximum = uint64_t{256} * 1024;
/// Queued entries go to a worker in batches of this many (or bytes), so
/// that a thread is woken per batch, not per file.
constexpr size_t kBatchEntries = 32;
constexpr size_t kBatchBytes = size_t{256} * 1024;
/// The piece the ordinary decoders report progress by.
constexpr int64_t kProgressStep = 32768;

/// The compressed bytes of a queued entry, read by the decoder.
class PackedStream final : public TCustomMemoryStream32 {
 public:
  explicit PackedStream(std::vector<uint8_t>& bytes) {
    SetPointer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  int32_t Write(const void*, int32_t) override { return 0; }
};

}  // namespace

/// One queued entry: what the worker needs, and what it found.
struct ParallelEntry {
  EntryInfo info;
  std::string stored;
  std::string output;
  std::vector<uint8_t> packed;
  UniqueFd out;  // invalid when testing
  OutputStamp stamp;

  uint32_t crc = kCrc32Init;
  uint64_t produced = 0;
  uint64_t progressed = 0;  // what progress is reported for
  bool endedEarly = false;  // damaged or short data
  bool longData = false;
  bool noEngine = false;  // the decoder could not start
  int writeError = 0;
  bool closeFailed = false;
};

namespace {

/// The worker's part: decode, checksum, write, date and close.
void RunQueued(ParallelEntry& e) {
  std::vector<uint8_t> plain;
  const uint64_t size = e.info.uncompressedSize;
  if (e.info.method == kMethodStored) {
    e.longData = e.info.compressedSize > e.info.uncompressedSize;
    plain = std::move(e.packed);  // already cut to the stored size
  } else {
    PackedStream source(e.packed);
    DecoderOptions options;
    options.flags = e.info.flags;
    options.compressedSize = e.info.compressedSize;
    options.uncompressedSize = e.info.uncompressedSize;
    TDecompressStream stream(source, MakeStreamDecoder(e.info.method, options));
    if (stream.InitResult() != inflate_result::kOk) {
      e.noEngine = true;
    } else {
      plain.resize(size);
      uint64_t have = 0;
      while (have < size) {
        const auto chunk = static_cast<int32_t>(std::min<uint64_t>(size - have, kProgressStep));
        const int32_t result = stream.Read(plain.data() + have, chunk);
        have += static_cast<uint64_t>(chunk - static_cast<int32_t>(stream.Engine().avail_out));
        if (result < 0 || (stream.control.endOfData && have < size)) {
          e.endedEarly = true;
          break;
        }
      }
      plain.resize(have);
      if (have == size && !stream.control.endOfData) {
        uint8_t beyond = 0;
        stream.Read(&beyond, 1);
        e.longData = stream.Engine().avail_out == 0;
      }
    }
  }
  e.packed = {};
  e.produced = e.progressed = plain.size();
  if (e.out.valid()) {
    const size_t written = WriteAll(e.out.get(), plain.data(), plain.size(), e.writeError);
    if (e.writeError != 0) {
      // As the ordinary path: the piece that failed was decoded and counted,
      // nothing after it; progress went up to the piece before.
      e.progressed = written / kProgressStep * kProgressStep;
      e.produced = std::min<uint64_t>(plain.size(), e.progressed + kProgressStep);
    }
  }
  Crc32Update(plain.data(), static_cast<int32_t>(e.produced), e.crc);
  if (!e.out.valid()) return;
  e.stamp.Apply(e.out.get());
  e.closeFailed = !e.out.Close();
}

}  // namespace

void ZipExtractor::StartParallel() {
  parallel_.reset();
  batch_.reset();
  batchBytes_ = 0;
  static const unsigned kCores = CoreCount();
  const unsigned threads = z_.Threads() == 0 ? kCores : z_.Threads();
  // An OnBegin handler is asked before every file: nothing can run ahead.
  if (threads < 2 || z_.OnBegin || IsMultiVolume()) return;
  // One batch per worker and two waiting: memory grows with the threads
  // only (a batch holds less than three times kBatchBytes).
  parallel_ = std::make_unique<ParallelQueue>(threads, size_t{threads} + 2);
}

bool ZipExtractor::QueueEntry(const ZipEntryItem& item) {
  auto e = std::make_shared<ParallelEntry>();
  EntryInfo& info = e->info;
  if (!ReadLocalEntry(item, info, e->stored)) return false;
  const std::string& stored = e->stored;
  if ((info.flags & kFlagEncrypted) != 0 || info.aes ||
      (info.method != kMethodStored && info.method != kMethodDeflated) ||
      info.uncompressedSize > kParallelMaximum || info.compressedSize > kParallelMaximum ||
      IsDirectoryEntry(item.externalAttributes, stored) || IsHostileStoredName(stored)) {
    return false;
  }
  const std::string safe = SafeStoredName(stored);
  if (safe.empty() || safe.back() == '/') return false;
  e->output = toFiles_ ? z_.EntryNameFromStored(stored) : stored;
  if (e->output.empty()) return false;
  if (toFiles_) {
    if (z_.ConfirmOverwrites() ? FileExists(e->output) : z_.OverwriteMode() != omOverwrite) {
      return false;
    }
  }
  // The data, as the ordinary decoders would read it: stored data no longer
  // than both sizes say.
  const uint64_t want = info.method == kMethodStored
                            ? std::min(info.uncompressedSize, info.compressedSize)
                            : info.compressedSize;
  e->packed.resize(want);
  if (archive_->Seek(info.dataPos, TSeekOrigin::soBeginning) != info.dataPos ||
      archive_->Read(e->packed.data(), static_cast<int32_t>(want)) != static_cast<int32_t>(want)) {
    return false;  // short: the ordinary path tells what is wrong
  }
  if (toFiles_) {
    e->out.reset(CreateOutputFileUnder(z_.ExtractDir(), e->output, folders_));
    if (!e->out.valid()) return false;  // reported on the ordinary path
    if (z_.ConfirmOverwrites()) z_.SetOverwriteMode(omOverwrite);
    e->stamp = StampFor(info, item.externalAttributes);
  }
  if (!batch_) batch_ = std::make_shared<ParallelBatch>();
  batchBytes_ += e->packed.size() + e->info.uncompressedSize;
  batch_->push_back(std::move(e));
  if (batch_->size() >= kBatchEntries || batchBytes_ >= kBatchBytes) SubmitBatch();
  return true;
}

void ZipExtractor::SubmitBatch() {
  if (!batch_) return;
  if (parallel_->Full()) EndBatch(*parallel_->Take());
  parallel_->Submit([batch = std::move(batch_)](unsigned) {
    for (auto& e : *batch) RunQueued(*e);
    return batch;
  });
  batch_.reset();
  batchBytes_ = 0;
}

void ZipExtractor::EndBatch(ParallelBatch& batch) {
  for (auto& e : batch) EndQueued(*e);
}

void ZipExtractor::DrainParallel() {
  if (!parallel_) return;
  SubmitBatch();
  while (parallel_->Pending() > 0) EndBatch(*parallel_->Take());
}

void ZipExtractor::EndQueued(ParallelEntry& e) {
  // What BeginStep and ExtractOne leave for the entry.
  z_.storedEntryName_ = e.stored;
  z_.SetEntryName(e.output);
  ++count_;
  reported_ = false;
  writeFailed_ = false;
  authFailed_ = false;
  aes_.reset();
  const EntryInfo& info = e.info;
  uint32_t expected = info.crc32;
  bool written = false;
  try {
    if (info.fromCentral && info.crc32 == 0 && info.centralCompressed != 0)
      expected = info.centralCrc;
    produced_ = e.produced;
    longData_ = e.longData;
    if (e.noEngine) z_.ReportError(z_.EntryName(), "", "0", ec::OutOfMemory);
    // Progress by the pieces the ordinary decoders report.
    const auto size = static_cast<int64_t>(info.uncompressedSize);
    const int64_t total = info.method == kMethodStored ? list_.compressedTotal : z_.Totals().total;
    const auto produced = static_cast<int64_t>(e.produced);
    const auto progressed = static_cast<int64_t>(e.progressed);
    if (info.method != kMethodStored) z_.dialogs.PumpMessages();
    for (int64_t at = 0; at < progressed;) {
      const int64_t step = std::min(progressed - at, kProgressStep);
      at += step;
      z_.Totals().remaining -= step;
      z_.DoProgress(total, size, at);
    }
    if (e.endedEarly && info.method != kMethodStored) z_.Totals().remaining -= size - produced;
    if (e.writeError != 0) {
      writeFailed_ = true;
      z_.ReportShortWrite(e.writeError);
    }
    z_.SetRunningCrc(e.crc ^ 0xFFFFFFFFu);
    shortData_ = !z_.Cancel() && e.produced < info.uncompressedSize;
    if (toFiles_ && e.closeFailed) z_.ReportError(e.output, "", "0", ec::CloseError);
    written = !writeFailed_;
  } catch (...) {
    // The end step still runs.
  }
  if (!written) --count_;
  EndStep(expected, true, 0);
}

}  // namespace arc

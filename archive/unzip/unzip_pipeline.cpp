//===-- unzip/unzip_pipeline.cpp - Checksum and write beside the decoder --===//
//
// A large entry is decoded on the caller's thread into the blocks of a
// BlockPipeline, whose worker keeps the running CRC and writes each block to
// the output file (or only checksums it when testing). Everything the caller
// sees stays on its thread: progress is reported as pieces are decoded,
// cancel is asked between pieces, and a write the worker could not finish is
// reported (25136, or the fatal 25160 for a full disk) at the next block or at
// the end of the entry. The pipeline is ended (its worker joined) before the
// output file is closed, on every path out.
//
//===----------------------------------------------------------------------===//
#include <unistd.h>

#include <cerrno>

#include <arc/codec/crc.h>
#include "codec/ordered_work_queue.h"
#include "unzip/zip_extractor.h"

namespace arc {
namespace {

/// Entries below this go through WriteBlock: a worker would cost more than
/// the overlap gives.
constexpr uint64_t kPipelineMinimum = 2 * uint64_t{kPipelineBlockSize};

/// What the worker throws when a block cannot be written whole.
struct BlockWriteFailure {
  int errorNumber;
};

}  // namespace

bool ZipExtractor::UsePipeline(const EntryInfo& info) const {
  if (info.uncompressedSize < kPipelineMinimum) return false;
  static const unsigned kCores = CoreCount();
  return (z_.Threads() == 0 ? kCores : z_.Threads()) > 1;
}

void ZipExtractor::StartPipeline() {
  pipeCrc_ = z_.RunningCrc();
  block_ = nullptr;
  filled_ = 0;
  const int fd = toFiles_ ? out_.get() : -1;
  pipe_ = std::make_unique<BlockPipeline>([this, fd](const uint8_t* data, uint32_t count) {
    Crc32Update(data, static_cast<int32_t>(count), pipeCrc_);
    if (fd < 0) return;
    int error = 0;
    if (WriteAll(fd, data, count, error) < count) throw BlockWriteFailure{error};
  });
}

void ZipExtractor::PipelineFailed(int errorNumber) {
  writeFailed_ = true;
  block_ = nullptr;
  pipe_.reset();
  z_.ReportShortWrite(errorNumber);
}

uint8_t* ZipExtractor::Room(uint8_t* own, uint32_t want) {
  if (!pipe_) return writeFailed_ ? nullptr : own;
  try {
    if (block_ != nullptr && pipe_->BlockSize() - filled_ < want) {
      pipe_->Commit(filled_);
      block_ = nullptr;
    }
    if (block_ == nullptr) {
      block_ = pipe_->Acquire();
      filled_ = 0;
    }
  } catch (const BlockWriteFailure& failure) {
    PipelineFailed(failure.errorNumber);
    return nullptr;
  }
  return block_ + filled_;
}

bool ZipExtractor::Put(uint8_t* data, uint32_t count, bool decipher) {
  if (!pipe_) return WriteBlock(data, count, decipher);
  produced_ += count;
  if (decipher) Decipher(data, count);
  filled_ += count;
  return true;
}

void ZipExtractor::EndPipeline() {
  if (!pipe_) return;
  try {
    if (block_ != nullptr) pipe_->Commit(filled_);
    block_ = nullptr;
    pipe_->Finish();
  } catch (const BlockWriteFailure& failure) {
    PipelineFailed(failure.errorNumber);
    return;
  }
  pipe_.reset();
  z_.SetRunningCrc(pipeCrc_);
}

}  // namespace arc

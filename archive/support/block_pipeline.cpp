//===-- support/block_pipeline.cpp - Decode here, write on another thread -===//
#include "support/block_pipeline.h"

#include <algorithm>
#include <stdexcept>

namespace arc {

BlockPipeline::BlockPipeline(Sink sink, uint32_t blockSize, unsigned blocks)
    : sink_(std::move(sink)),
      blockSize_(std::max<uint32_t>(blockSize, 1)),
      // One worker runs the blocks one after the other, in order. The queue
      // has room for the whole ring, so a commit never waits.
      queue_(1, std::max(blocks, 2u)) {
  blocks_.resize(std::max(blocks, 2u));
}

BlockPipeline::~BlockPipeline() { Abort(); }

uint8_t* BlockPipeline::Acquire() {
  if (done_) throw std::logic_error("BlockPipeline: acquire after the end");
  if (filling_ != nullptr) return filling_;
  // Blocks already written come back first: a failed write shows up here,
  // at the first Acquire after it, not only when the ring runs out.
  while (queue_.Ready()) TakeOldest();
  if (free_.empty()) {
    if (made_ < blocks_.size()) {
      blocks_[made_].reset(new uint8_t[blockSize_]);
      free_.push_back(blocks_[made_++].get());
    } else {
      TakeOldest();
    }
  }
  filling_ = free_.back();
  free_.pop_back();
  return filling_;
}

void BlockPipeline::Commit(uint32_t count) {
  if (filling_ == nullptr) throw std::logic_error("BlockPipeline: commit without a block");
  if (count > blockSize_) throw std::out_of_range("BlockPipeline: commit beyond the block");
  uint8_t* block = filling_;
  filling_ = nullptr;
  if (count == 0) {
    free_.push_back(block);
    return;
  }
  queue_.Submit([this, block, count](unsigned) {
    if (!sinkFailed_.load(std::memory_order_relaxed)) {
      try {
        sink_(block, count);
      } catch (...) {
        sinkFailed_.store(true, std::memory_order_relaxed);
        throw;
      }
    }
    return block;
  });
}

void BlockPipeline::TakeOldest() {
  try {
    free_.push_back(queue_.Take());
  } catch (...) {
    Abort();
    throw;
  }
}

void BlockPipeline::Finish() {
  if (done_) return;
  if (filling_ != nullptr) {
    free_.push_back(filling_);
    filling_ = nullptr;
  }
  while (queue_.Pending() > 0) TakeOldest();
  Abort();
}

void BlockPipeline::Abort() noexcept {
  queue_.Stop();
  done_ = true;
}

}  // namespace arc

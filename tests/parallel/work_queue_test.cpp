// The ordered work queue and the block pipeline built on it.
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "codec/ordered_work_queue.h"
#include "support/block_pipeline.h"
#include "thread_count.h"

namespace arc {
namespace {

/// A one-way signal between threads.
class Latch {
 public:
  void Open() {
    std::lock_guard lock(m_);
    open_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
};

TEST(OrderedWorkQueue, ResultsComeInSubmissionOrderWhateverOrderJobsEndIn) {
  // Job 0 cannot end before job 3 has: the other worker runs 1, 2, 3 first.
  Latch third_done;
  OrderedWorkQueue<int> q(2, 4);
  q.Submit([&](unsigned) {
    third_done.Wait();
    return 0;
  });
  for (int i = 1; i <= 3; ++i) {
    q.Submit([&, i](unsigned) {
      if (i == 3) third_done.Open();
      return i;
    });
  }
  for (int i = 0; i <= 3; ++i) EXPECT_EQ(q.Take(), i);
  EXPECT_EQ(q.Pending(), 0u);
}

TEST(OrderedWorkQueue, AJobThatThrowsIsRethrownAtItsTurnAndTheOthersStillCome) {
  const int threads_before = test::ThreadBaseline();
  {
    OrderedWorkQueue<int> q(2, 3);
    q.Submit([](unsigned) { return 1; });
    q.Submit([](unsigned) -> int { throw std::runtime_error("job 2 failed"); });
    q.Submit([](unsigned) { return 3; });
    EXPECT_EQ(q.Take(), 1);
    EXPECT_THROW(q.Take(), std::runtime_error);
    EXPECT_EQ(q.Take(), 3);
  }
  EXPECT_EQ(test::ThreadCount(), threads_before);
}

TEST(OrderedWorkQueue, WithoutWorkersJobsRunInsideSubmitOnTheCallersThread) {
  OrderedWorkQueue<std::thread::id> q(0, 2);
  q.Submit([](unsigned) { return std::this_thread::get_id(); });
  EXPECT_TRUE(q.Ready());
  EXPECT_EQ(q.Take(), std::this_thread::get_id());
  EXPECT_EQ(q.Workers(), 0u);
}

/// Commits `total` bytes of a counting pattern in blocks of varying size.
void Pump(BlockPipeline& pipe, size_t total) {
  size_t made = 0;
  for (uint32_t i = 0; made < total; ++i) {
    uint8_t* block = pipe.Acquire();
    const auto n =
        static_cast<uint32_t>(std::min<size_t>(total - made, (i * 7919) % pipe.BlockSize() + 1));
    for (uint32_t k = 0; k < n; ++k) block[k] = static_cast<uint8_t>(made + k);
    pipe.Commit(n);
    made += n;
  }
}

TEST(BlockPipeline, EveryByteReachesTheSinkInOrder) {
  for (unsigned blocks : {2u, 5u}) {
    std::vector<uint8_t> seen;  // the sink's alone until Finish
    BlockPipeline pipe([&](const uint8_t* p, uint32_t n) { seen.insert(seen.end(), p, p + n); },
                       4096, blocks);
    Pump(pipe, 1'000'000);
    pipe.Finish();
    ASSERT_EQ(seen.size(), 1'000'000u);
    for (size_t i = 0; i < seen.size(); ++i)
      ASSERT_EQ(seen[i], static_cast<uint8_t>(i)) << "at " << i;
  }
}

TEST(BlockPipeline, SinkThatThrowsOnTheThirdBlockStopsWritingAndSurfacesOnTheCaller) {
  const int threads_before = test::ThreadBaseline();
  int calls = 0;  // the sink's alone until the exception comes back
  BlockPipeline pipe(
      [&](const uint8_t*, uint32_t) {
        if (++calls == 3) throw std::runtime_error("disk full");
      },
      1024, 3);
  EXPECT_THROW(
      {
        Pump(pipe, 200'000);
        pipe.Finish();
      },
      std::runtime_error);
  EXPECT_EQ(test::ThreadCount(), threads_before);
  EXPECT_EQ(calls, 3) << "no write after the failed one";
}

TEST(BlockPipeline, AbortWithBlocksQueuedJoinsTheWorker) {
  const int threads_before = test::ThreadBaseline();
  Latch release;
  {
    BlockPipeline pipe([&](const uint8_t*, uint32_t) { release.Wait(); }, 1024, 4);
    for (int i = 0; i < 3; ++i) {
      pipe.Acquire();
      pipe.Commit(1024);
    }
    release.Open();
    pipe.Abort();
    EXPECT_EQ(test::ThreadCount(), threads_before);
  }
}

}  // namespace
}  // namespace arc

//===-- codec/ordered_work_queue.h - Jobs on workers, results in order -*- C++ -*-===//
//
// Runs jobs on a few worker threads and gives their results back on the
// caller's thread in the order the jobs were submitted. The caller alone
// submits and takes; the workers never call back into the caller, so whatever
// the caller's callbacks do (write, report progress, throw) happens on its own
// thread, in order:
//
//   OrderedWorkQueue<R> q(workers, capacity);
//   while (more) {
//     if (q.Full()) Deliver(q.Take());   // waits for the oldest job only
//     q.Submit([=](unsigned worker) { return Work(worker); });
//   }
//   while (q.Pending() > 0) Deliver(q.Take());
//
// Memory stays bounded: at most `capacity` jobs are submitted and not yet
// taken. A job that throws does not stop the others; its exception is rethrown
// by the Take() that reaches it, on the caller's thread. Stop() (also run by
// the destructor) drops the jobs not started, waits for the running ones and
// joins every worker, so no thread outlives the queue. The workers are started
// at the first Submit; with no worker (0 asked, or none could be started) a
// job runs inside Submit on the caller's thread.
//
// It lives at the bottom of the library's layers so that the codecs can use it
// as well as the reader and the writer.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace arc {

/// One worker per core: the count the system reports, at least one.
inline unsigned CoreCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

template <typename R>
class OrderedWorkQueue {
 public:
  /// A job gets the index of the worker that runs it (0 .. workers-1), so
  /// that it may use state kept per worker.
  using Job = std::function<R(unsigned worker)>;

  OrderedWorkQueue(unsigned workers, size_t capacity)
      : wantWorkers_(workers), slots_(capacity == 0 ? 1 : capacity) {}
  ~OrderedWorkQueue() { Stop(); }
  OrderedWorkQueue(const OrderedWorkQueue&) = delete;
  OrderedWorkQueue& operator=(const OrderedWorkQueue&) = delete;

  size_t Capacity() const { return slots_.size(); }
  /// Jobs submitted and not yet taken.
  size_t Pending() const { return submitted_ - taken_; }
  bool Full() const { return Pending() >= slots_.size(); }
  /// Workers actually running (0 before the first Submit, or without threads).
  unsigned Workers() const { return static_cast<unsigned>(threads_.size()); }

  /// Queues a job. The queue must not be Full(), nor stopped.
  void Submit(Job job) {
    if (Full() || stopped_)
      throw std::logic_error("OrderedWorkQueue: submit to a full or stopped queue");
    if (!started_) Start();
    Slot& s = slots_[submitted_ % slots_.size()];
    if (threads_.empty()) {
      s.result.reset();
      s.error = nullptr;
      Run(s, std::move(job), 0);
      s.done = true;
      ++submitted_;
      return;
    }
    {
      std::lock_guard lock(mutex_);
      s.job = std::move(job);
      s.result.reset();
      s.error = nullptr;
      s.done = false;
      ++submitted_;
    }
    work_.notify_one();
  }

  /// True when the oldest pending job has ended (never waits).
  bool Ready() {
    if (Pending() == 0) return false;
    std::lock_guard lock(mutex_);
    return slots_[taken_ % slots_.size()].done;
  }

  /// Waits for the oldest pending job and gives its result, or rethrows what
  /// it threw. There must be a pending job.
  R Take() {
    if (Pending() == 0) throw std::logic_error("OrderedWorkQueue: nothing to take");
    Slot& s = slots_[taken_ % slots_.size()];
    {
      std::unique_lock lock(mutex_);
      finished_.wait(lock, [&] { return s.done; });
    }
    ++taken_;
    std::exception_ptr error = std::exchange(s.error, nullptr);
    if (error) {
      s.result.reset();
      std::rethrow_exception(error);
    }
    R result = std::move(*s.result);
    s.result.reset();
    return result;
  }

  /// Drops the jobs not started, waits for the running ones, joins every
  /// worker. Results not taken are dropped. Idempotent; Submit fails after it.
  void Stop() noexcept {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    stopped_ = true;
    for (Slot& s : slots_) {
      s.job = nullptr;
      s.result.reset();
      s.error = nullptr;
    }
    taken_ = submitted_;
  }

 private:
  struct Slot {
    Job job;
    std::optional<R> result;
    std::exception_ptr error;
    bool done = true;
  };

  static void Run(Slot& s, Job job, unsigned worker) {
    try {
      s.result.emplace(job(worker));
    } catch (...) {
      s.error = std::current_exception();
    }
  }

  void Start() {
    started_ = true;
    threads_.reserve(wantWorkers_);
    for (unsigned i = 0; i < wantWorkers_; ++i) {
      try {
        threads_.emplace_back([this, i] { Work(i); });
      } catch (const std::system_error&) {
        break;  // fewer workers, or none: jobs then run inside Submit
      }
    }
  }

  void Work(unsigned worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
      work_.wait(lock, [&] { return stopping_ || next_ < submitted_; });
      if (stopping_) return;
      Slot& s = slots_[next_ % slots_.size()];
      ++next_;
      Job job = std::move(s.job);
      s.job = nullptr;
      lock.unlock();
      std::optional<R> result;
      std::exception_ptr error;
      try {
        result.emplace(job(worker));
      } catch (...) {
        error = std::current_exception();
      }
      job = nullptr;  // what the job holds goes before the caller may reuse it
      lock.lock();
      s.result = std::move(result);
      s.error = error;
      s.done = true;
      finished_.notify_all();
    }
  }

  const unsigned wantWorkers_;
  std::vector<Slot> slots_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable work_;      // a job was queued, or stop
  std::condition_variable finished_;  // a job ended
  // submitted_ is written by the caller under the lock; next_ by the workers.
  size_t submitted_ = 0;
  size_t next_ = 0;
  size_t taken_ = 0;  // the caller's alone
  bool stopping_ = false;
  bool started_ = false;
  bool stopped_ = false;
};

}  // namespace arc

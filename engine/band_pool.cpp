#include "engine/band_pool.h"

#include <algorithm>
#include <exception>

namespace vantoril {

BandPool::BandPool(int workers) {
  try {
    for (int i = 0; i < workers; ++i) {
      threads_.emplace_back([this] { Work(); });
    }
  } catch (const std::exception&) {
    // Fewer threads than asked: the jobs still all run, on fewer of them.
  }
}

BandPool::~BandPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) {
    thread.join();
  }
}

void BandPool::TakeJobs(std::unique_lock<std::mutex>& lock) {
  while (next_ < count_) {
    const int index = next_++;
    const BandJob job = *job_;
    lock.unlock();
    job(index);
    lock.lock();
    if (--unfinished_ == 0) {
      done_.notify_all();
    }
  }
}

void BandPool::Work() {
  std::unique_lock lock(mutex_);
  // From the pool's start, not this thread's: a thread that starts after the
  // first Run has begun must still see that run's jobs.
  uint64_t seen = 0;
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) {
      return;
    }
    seen = generation_;
    TakeJobs(lock);
  }
}

void BandPool::Run(int count, BandJob job) {
  std::unique_lock runLock(runMutex_, std::try_to_lock);
  if (!runLock.owns_lock() || threads_.empty() || count <= 1) {
    for (int i = 0; i < count; ++i) {
      job(i);
    }
    return;
  }
  std::unique_lock lock(mutex_);
  job_ = &job;
  count_ = count;
  next_ = 0;
  unfinished_ = count;
  ++generation_;
  wake_.notify_all();
  TakeJobs(lock);
  done_.wait(lock, [&] { return unfinished_ == 0; });
  job_ = nullptr;
  count_ = 0;
}

int CoreCount() {
  static const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  return cores;
}

BandPool& SharedBandPool() {
  static BandPool pool(CoreCount() - 1);
  return pool;
}

}  // namespace vantoril

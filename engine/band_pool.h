#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vantoril {

// A job to run by index, borrowed (not copied, not allocated): the callable
// must outlive the call of Run that it is handed to.
class BandJob {
 public:
  template <class F>
  BandJob(const F& f)  // NOLINT: made implicitly from any callable
      : callable_(std::addressof(f)),
        call_([](const void* c, int i) { (*static_cast<const F*>(c))(i); }) {}
  void operator()(int i) const { call_(callable_, i); }

 private:
  const void* callable_;
  void (*call_)(const void*, int);
};

// Worker threads kept for the length of the program, so that painting a
// frame in bands costs no thread start. Run hands out jobs 0 .. count - 1 to
// the workers and the calling thread and returns when all are done.
class BandPool {
 public:
  explicit BandPool(int workers);
  ~BandPool();
  BandPool(const BandPool&) = delete;
  BandPool& operator=(const BandPool&) = delete;

  int Workers() const { return static_cast<int>(threads_.size()); }
  // One caller at a time; a second caller (another thread) runs its jobs
  // itself, one after the other.
  void Run(int count, BandJob job);

 private:
  void Work();
  void TakeJobs(std::unique_lock<std::mutex>& lock);

  std::mutex runMutex_;  // held by the one caller of Run
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const BandJob* job_ = nullptr;
  int count_ = 0;
  int next_ = 0;
  int unfinished_ = 0;
  uint64_t generation_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The pool shared by every frame composed in this process: one worker less
// than the processor has cores (the caller is the last one).
BandPool& SharedBandPool();

// The number of cores the processor offers, at least 1.
int CoreCount();

}  // namespace vantoril

#include "media/silent_audio_output.h"

#include <chrono>

namespace vantoril {

SilentAudioOutput::SilentAudioOutput(Pace pace) : pace_(pace) {}

SilentAudioOutput::~SilentAudioOutput() {
  Close();
}

int SilentAudioOutput::Open(const WaveFormat& format, BufferDone done) {
  Close();
  std::lock_guard lock(mutex_);
  if (openResult_ != kAudioOpened) return openResult_;
  if (!IsPlayableFormat(format)) return kAudioBadFormat;
  format_ = format;
  done_ = std::move(done);
  queue_.clear();
  received_.clear();
  queuedSizes_.clear();
  stopping_ = false;
  open_ = true;
  ++openCount_;
  if (pace_ != Pace::kOnDemand) thread_ = std::thread([this] { Run(); });
  return kAudioOpened;
}

bool SilentAudioOutput::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void SilentAudioOutput::Queue(std::span<const uint8_t> samples) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  queue_.emplace_back(samples.begin(), samples.end());
  received_.insert(received_.end(), samples.begin(), samples.end());
  queuedSizes_.push_back(samples.size());
  changed_.notify_all();
}

void SilentAudioOutput::Reset() {
  std::unique_lock lock(mutex_);
  queue_.clear();
  ++resets_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !reporting_; });
}

void SilentAudioOutput::Close() {
  {
    std::unique_lock lock(mutex_);
    if (!open_) return;
    open_ = false;
    stopping_ = true;
    queue_.clear();
    ++resets_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !reporting_; });
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  done_ = nullptr;
}

bool SilentAudioOutput::FinishFront(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  queue_.pop_front();
  reporting_ = true;
  BufferDone done = done_;
  lock.unlock();
  if (done) done();
  lock.lock();
  reporting_ = false;
  changed_.notify_all();
  return true;
}

void SilentAudioOutput::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) break;
    if (pace_ == Pace::kRealTime) {
      // The front buffer sounds for its length in time; a reset cuts it short.
      const uint32_t rate = format_.avgBytesPerSec ? format_.avgBytesPerSec : 1;
      const auto length =
          std::chrono::microseconds(int64_t(queue_.front().size()) * 1000000 / int64_t(rate));
      const uint64_t resets = resets_;
      const auto deadline = std::chrono::steady_clock::now() + length;
      changed_.wait_until(lock, deadline, [&] { return stopping_ || resets_ != resets; });
      if (stopping_ || resets_ != resets) continue;
    }
    FinishFront(lock);
  }
}

void SilentAudioOutput::SetOpenResult(int result) {
  std::lock_guard lock(mutex_);
  openResult_ = result;
}

size_t SilentAudioOutput::FinishBuffers(size_t count) {
  std::unique_lock lock(mutex_);
  size_t finished = 0;
  while (finished < count && open_ && FinishFront(lock)) ++finished;
  return finished;
}

bool SilentAudioOutput::WaitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return queue_.empty() && !reporting_; });
}

std::vector<uint8_t> SilentAudioOutput::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<size_t> SilentAudioOutput::QueuedSizes() const {
  std::lock_guard lock(mutex_);
  return queuedSizes_;
}

size_t SilentAudioOutput::Pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

WaveFormat SilentAudioOutput::OpenedFormat() const {
  std::lock_guard lock(mutex_);
  return format_;
}

int SilentAudioOutput::OpenCount() const {
  std::lock_guard lock(mutex_);
  return openCount_;
}

}  // namespace vantoril

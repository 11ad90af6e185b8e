#include "output/frame_handoff.h"

#include <algorithm>
#include <span>
#include <utility>

#include "output/movie_writer.h"

namespace vantoril {

FrameHandoff::FrameHandoff(MovieWriter& writer) : writer_(&writer), thread_([this] { Run(); }) {}

FrameHandoff::FrameHandoff() : writer_(nullptr) {}

FrameHandoff::~FrameHandoff() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    WaitIdle(lock);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool FrameHandoff::Create(int width, int height) {
  std::unique_lock lock(mutex_);
  WaitIdle(lock);
  for (ImageBuffer& buffer : buffers_) {
    if (!buffer.Create(width, height, 32)) return false;
    if (writer_ == nullptr) break;  // a null sink paints in place
  }
  return true;
}

ImageBuffer& FrameHandoff::Canvas() {
  if (writer_ == nullptr) return buffers_[current_];
  const int next = 1 - current_;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return inFlight_ != next; });
  }
  // The thread may be reading the current frame; reading it here too is fine.
  const std::span<const uint8_t> from = std::as_const(buffers_[current_]).PixelBlock();
  const std::span<uint8_t> to = buffers_[next].PixelBlock();
  if (from.size() == to.size()) std::copy(from.begin(), from.end(), to.begin());
  return buffers_[next];
}

void FrameHandoff::Present() {
  if (writer_ == nullptr) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return inFlight_ != 1 - current_; });
  current_ = 1 - current_;
}

bool FrameHandoff::Write() {
  {
    std::unique_lock lock(mutex_);
    WaitIdle(lock);
    if (failed_) return false;
    if (writer_ == nullptr) {
      ++written_;
      return true;
    }
    inFlight_ = current_;
  }
  changed_.notify_all();
  return true;
}

bool FrameHandoff::Finish() {
  std::unique_lock lock(mutex_);
  WaitIdle(lock);
  return !failed_;
}

int32_t FrameHandoff::FramesWritten() const {
  std::lock_guard lock(mutex_);
  return written_;
}

void FrameHandoff::WaitIdle(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [&] { return inFlight_ < 0; });
}

void FrameHandoff::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return inFlight_ >= 0 || stopping_; });
    if (inFlight_ < 0) return;
    const ImageBuffer& frame = buffers_[inFlight_];
    lock.unlock();
    const bool accepted = writer_->WriteMovieFrame(-1, frame);
    lock.lock();
    if (accepted) {
      ++written_;
    } else {
      failed_ = true;
    }
    inFlight_ = -1;
    changed_.notify_all();
  }
}

}  // namespace vantoril

#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "engine/image_buffer.h"

namespace vantoril {

class MovieWriter;

// Two frame buffers and one writer thread, so that the next frame is
// composited while the last one is encoded. Frames reach the writer in the
// order they were handed over, each as WriteMovieFrame(-1, frame).
//
// While a handoff exists only its thread may use the writer; Finish (or the
// destructor) waits for the last write.
//
// Without a writer the handoff is a null sink: one buffer, no thread, and
// every frame handed over is counted and dropped.
class FrameHandoff {
 public:
  explicit FrameHandoff(MovieWriter& writer);
  FrameHandoff();
  ~FrameHandoff();
  FrameHandoff(const FrameHandoff&) = delete;
  FrameHandoff& operator=(const FrameHandoff&) = delete;

  // Makes both buffers width x height x 32 bits, black. False when a side is
  // outside 1..8192 or memory ran out.
  bool Create(int width, int height);

  // The buffer to composite the next frame into: never the one being written.
  // It holds a copy of the current frame, as one reused buffer would, so
  // that a frame the compositor does not paint whole comes out the same.
  ImageBuffer& Canvas();
  // The canvas becomes the current frame.
  void Present();
  // The current frame: the last one presented, black before the first.
  const ImageBuffer& Current() const { return buffers_[current_]; }

  // Hands the current frame to the writer and returns at once. False (and
  // nothing handed over) when an earlier write failed; the failure of this
  // write shows in the next call or in Finish.
  bool Write();
  // Waits for the last write; false when any write failed.
  bool Finish();
  // Frames the writer accepted so far.
  int32_t FramesWritten() const;

 private:
  void Run();
  void WaitIdle(std::unique_lock<std::mutex>& lock);

  MovieWriter* writer_;
  std::array<ImageBuffer, 2> buffers_;
  int current_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int inFlight_ = -1;  // index of the buffer being written, -1 when idle
  bool failed_ = false;
  bool stopping_ = false;
  int32_t written_ = 0;
  std::thread thread_;  // last: started once the state above exists
};

}  // namespace vantoril

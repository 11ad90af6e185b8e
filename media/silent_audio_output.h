#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "media/audio_output.h"

namespace vantoril {

// An audio output without a sound device: it "plays" each queued buffer for
// as long as it would sound and then reports it, on a thread of its own. The
// program uses it where there is no sound device; tests use its faster paces
// and read back what it received.
class SilentAudioOutput final : public AudioOutput {
 public:
  enum class Pace {
    kRealTime,  // a buffer lasts its bytes / average bytes per second
    kFast,      // buffers finish as soon as the thread gets to them
    kOnDemand,  // buffers finish only through FinishBuffers, no thread
  };

  explicit SilentAudioOutput(Pace pace = Pace::kRealTime);
  ~SilentAudioOutput() override;
  SilentAudioOutput(const SilentAudioOutput&) = delete;
  SilentAudioOutput& operator=(const SilentAudioOutput&) = delete;

  int Open(const WaveFormat& format, BufferDone done) override;
  bool IsOpen() const override;
  void Queue(std::span<const uint8_t> samples) override;
  void Reset() override;
  void Close() override;

  // For tests. Opens fail with `result` until it is set back to kAudioOpened.
  void SetOpenResult(int result);
  // On demand: finishes up to count queued buffers on the calling thread and
  // returns how many it finished.
  size_t FinishBuffers(size_t count);
  // Waits until nothing is queued (or the timeout passes); false on timeout.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);
  // Every byte queued since the last Open, in order, and the buffers queued.
  std::vector<uint8_t> Received() const;
  std::vector<size_t> QueuedSizes() const;
  size_t Pending() const;
  WaveFormat OpenedFormat() const;
  int OpenCount() const;

 private:
  void Run();
  // Takes the front buffer and reports it; the lock is released around the
  // report. False when nothing is queued.
  bool FinishFront(std::unique_lock<std::mutex>& lock);

  const Pace pace_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  bool stopping_ = false;
  bool reporting_ = false;
  uint64_t resets_ = 0;
  int openResult_ = kAudioOpened;
  int openCount_ = 0;
  WaveFormat format_;
  BufferDone done_;
  std::deque<std::vector<uint8_t>> queue_;
  std::vector<uint8_t> received_;
  std::vector<size_t> queuedSizes_;
  std::thread thread_;
};

}  // namespace vantoril

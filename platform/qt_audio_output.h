#pragma once

#include <memory>

#include "media/audio_output.h"

namespace vantoril {

// The sound device through Qt Multimedia: a QAudioSink on a thread of its own,
// fed from the queued buffers every few milliseconds. A buffer counts as
// finished once the sink has taken all of it. Needs a running
// QCoreApplication. Without a sound server (no default output, or the sink
// failing to open) Open reports kAudioNoDevice.
class QtAudioOutput final : public AudioOutput {
 public:
  QtAudioOutput();
  ~QtAudioOutput() override;
  QtAudioOutput(const QtAudioOutput&) = delete;
  QtAudioOutput& operator=(const QtAudioOutput&) = delete;

  int Open(const WaveFormat& format, BufferDone done) override;
  bool IsOpen() const override;
  void Queue(std::span<const uint8_t> samples) override;
  void Reset() override;
  void Close() override;

 private:
  class Device;
  std::unique_ptr<Device> device_;
};

}  // namespace vantoril

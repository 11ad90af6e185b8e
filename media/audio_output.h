#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "media/wave_format.h"

namespace vantoril {

// Results of AudioOutput::Open, numbered as the system's wave output numbers
// them (they show in "Error opening wave output device %d").
enum AudioOpenResult : int {
  kAudioOpened = 0,
  kAudioError = 1,
  kAudioInUse = 4,     // another program holds the device
  kAudioNoDevice = 6,  // no sound device or sound server
  kAudioBadFormat = 32,
};

// Formats every output can play: PCM of 8, 16 or 32 bits or 32-bit float,
// 1 to 8 channels, with a block alignment that matches. (Inline: the Qt
// output in the platform layer uses it without linking the media library.)
inline bool IsPlayableFormat(const WaveFormat& format) {
  const bool pcm =
      format.formatTag == WaveFormat::kPcm &&
      (format.bitsPerSample == 8 || format.bitsPerSample == 16 || format.bitsPerSample == 32);
  const bool ieeeFloat = format.formatTag == WaveFormat::kIeeeFloat && format.bitsPerSample == 32;
  return (pcm || ieeeFloat) && format.channels >= 1 && format.channels <= 8 &&
         format.samplesPerSec >= 1000 && format.samplesPerSec <= 384000 &&
         format.blockAlign == format.channels * format.bitsPerSample / 8;
}

// Where the sound track's buffers go. Buffers play in the order they were
// queued; each finished buffer is reported once through the callback given
// to Open, on a thread of the output's own.
//
// The callback is never called from inside Open, Queue, Reset or Close and
// never with a lock of the output held, and it must not call Reset or Close
// itself. After Reset or Close returns, no callback is running and none comes
// for the buffers queued before.
class AudioOutput {
 public:
  using BufferDone = std::function<void()>;

  virtual ~AudioOutput() = default;
  // Opens the device for the format. kAudioOpened or the reason it did not
  // open (the output stays closed).
  virtual int Open(const WaveFormat& format, BufferDone done) = 0;
  virtual bool IsOpen() const = 0;
  // Copies the samples and queues them; does nothing when closed.
  virtual void Queue(std::span<const uint8_t> samples) = 0;
  // Drops every queued buffer without reporting it.
  virtual void Reset() = 0;
  // Resets and releases the device; does nothing when closed.
  virtual void Close() = 0;
};

}  // namespace vantoril

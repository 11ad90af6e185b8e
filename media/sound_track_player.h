#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/file_spec.h"
#include "engine/message_sink.h"
#include "media/audio_output.h"
#include "media/wave_file.h"
#include "media/wave_format.h"

namespace vantoril {

// Plays the show's WAV sound track with the preview, from the sound that
// belongs to the current frame, streaming it through two 8192-byte buffers
// that the output's thread refills as each one finishes. 24-bit PCM, which
// sound devices rarely take, is played as 32-bit PCM.
//
// Starts and stops come from one thread (the window thread); refills from the
// output's thread. A stop never closes the file or the device while a refill runs,
// and no refill runs once a stop has begun.
class SoundTrackPlayer {
 public:
  static constexpr uint32_t kBufferSize = 8192;

  // Neither is owned; messages may be null.
  SoundTrackPlayer(AudioOutput& output, MessageSink* messages);
  ~SoundTrackPlayer();
  SoundTrackPlayer(const SoundTrackPlayer&) = delete;
  SoundTrackPlayer& operator=(const SoundTrackPlayer&) = delete;

  // Plays soundFile from show frame `frame` at frameRate (frames per second
  // x 100). Does nothing when the path is empty.
  void PlaySoundTrackFrom(const FileSpec& soundFile, int frame, int frameRate);
  void StopSoundTrack();

  // The file and rate OpenWave works with (PlaySoundTrackFrom sets them).
  void SetSoundFile(const FileSpec& soundFile, int frameRate);
  // Parses the file and positions it at startFrame; unless validateOnly, also
  // queues the first two buffers. Shows the file's messages.
  bool OpenWave(int startFrame, bool validateOnly);
  // Reads the next piece of sample data and queues it; false at the end of
  // the data or on a read error.
  bool QueueNextBuffer();

  bool IsPlaying() const;
  bool IsReaderOpen() const;
  WaveFormat Format() const;
  uint32_t DataLength() const;
  uint32_t DataPosition() const;

 private:
  WaveOpenResult OpenWaveLocked(int startFrame, bool validateOnly);
  bool QueueNextBufferLocked();
  void OnBufferDone();
  void Show(const char* text);
  void TellCannotOpen(const std::string& path);

  AudioOutput& output_;
  MessageSink* messages_;
  // What has been told; the GUI thread's alone.
  bool noDeviceShown_ = false;
  // The sound file last told as one that cannot be opened: a missing file is
  // told once, not at every start of the preview.
  std::string cannotOpenTold_;

  mutable std::mutex mutex_;  // everything below
  FileSpec file_;
  int frameRate_ = 2997;
  bool playing_ = false;
  int nextBuffer_ = 0;
  WaveFile reader_;
  WaveFormat format_;
  uint32_t dataLength_ = 0;
  uint32_t dataPosition_ = 0;
  std::array<std::vector<uint8_t>, 2> buffers_;
  // 24-bit samples go to the device as 32-bit ones, made here.
  std::vector<uint8_t> widened_;
};

}  // namespace vantoril

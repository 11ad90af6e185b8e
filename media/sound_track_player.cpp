#include "media/sound_track_player.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace vantoril {

namespace {

bool Is24BitPcm(const WaveFormat& format) {
  return format.formatTag == WaveFormat::kPcm && format.bitsPerSample == 24;
}

// The format the device is opened with: the file's, or 32-bit PCM for 24.
WaveFormat DeviceFormat(const WaveFormat& format) {
  if (!Is24BitPcm(format) || format.blockAlign != format.channels * 3) return format;
  WaveFormat wide = format;
  wide.bitsPerSample = 32;
  wide.blockAlign = static_cast<uint16_t>(format.channels * 4);
  wide.avgBytesPerSec = format.samplesPerSec * wide.blockAlign;
  return wide;
}

}  // namespace

SoundTrackPlayer::SoundTrackPlayer(AudioOutput& output, MessageSink* messages)
    : output_(output), messages_(messages) {
  for (auto& buffer : buffers_) buffer.resize(kBufferSize);
  widened_.resize(kBufferSize / 3 * 4);
}

SoundTrackPlayer::~SoundTrackPlayer() {
  StopSoundTrack();
}

void SoundTrackPlayer::Show(const char* text) {
  if (messages_ && text) messages_->ShowMessage(text, MessageSink::kNoCode);
}

void SoundTrackPlayer::SetSoundFile(const FileSpec& soundFile, int frameRate) {
  std::lock_guard lock(mutex_);
  file_ = soundFile;
  frameRate_ = frameRate;
}

void SoundTrackPlayer::PlaySoundTrackFrom(const FileSpec& soundFile, int frame, int frameRate) {
  if (!soundFile.HasPath()) return;
  SetSoundFile(soundFile, frameRate);
  // A first pass reads the format the device is opened with.
  if (!OpenWave(frame, true)) return;
  StopSoundTrack();

  WaveFormat format;
  {
    std::lock_guard lock(mutex_);
    format = format_;
  }
  const int opened = output_.Open(DeviceFormat(format), [this] { OnBufferDone(); });
  if (opened == kAudioOpened) {
    WaveOpenResult result;
    {
      // Held until playing is set: a buffer that finishes at once must find
      // the player playing, or its refill would be lost.
      std::lock_guard lock(mutex_);
      result = OpenWaveLocked(frame, false);
      playing_ = result == WaveOpenResult::kOk;
    }
    if (result != WaveOpenResult::kOk) {
      StopSoundTrack();
      Show(WaveOpenMessage(result));
    }
    return;
  }

  StopSoundTrack();
  if (opened == kAudioInUse) {
    Show("The sound device is in use by another program");
  } else if (opened == kAudioBadFormat) {
    Show("Not a valid WAV file");
  } else if (opened != kAudioNoDevice || !noDeviceShown_) {
    // Without a sound device every start would say so again: once is enough.
    if (opened == kAudioNoDevice) noDeviceShown_ = true;
    char text[64];
    std::snprintf(text, sizeof text, "Error opening wave output device %d\n", opened);
    Show(text);
  }
}

void SoundTrackPlayer::StopSoundTrack() {
  {
    std::lock_guard lock(mutex_);
    playing_ = false;
    // Also the reader a run without a device left open.
    reader_.Close();
    nextBuffer_ = 0;
    dataPosition_ = 0;
  }
  // Outside the lock: a refill waiting for it sees the stop and returns, so
  // the output's thread can finish and the device close.
  if (output_.IsOpen()) {
    output_.Reset();
    output_.Close();
  }
}

bool SoundTrackPlayer::OpenWave(int startFrame, bool validateOnly) {
  if (IsPlaying()) StopSoundTrack();
  WaveOpenResult result;
  std::string path;
  {
    std::lock_guard lock(mutex_);
    result = OpenWaveLocked(startFrame, validateOnly);
    path = file_.Path();
  }
  // Messages wait until the lock is free: the output's thread must not be
  // held up while a message box is open.
  if (result == WaveOpenResult::kCannotOpen) {
    TellCannotOpen(path);
  } else {
    Show(WaveOpenMessage(result));
  }
  if (result == WaveOpenResult::kOk) cannotOpenTold_.clear();
  return result == WaveOpenResult::kOk;
}

// A sound track that was moved or deleted would otherwise leave the preview
// silent with no word why.
void SoundTrackPlayer::TellCannotOpen(const std::string& path) {
  if (path == cannotOpenTold_) return;
  cannotOpenTold_ = path;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  std::string why;
  if (error) {
    why = error.message();
  } else if (!std::filesystem::is_regular_file(status)) {
    why = "not a file";
  } else {
    why = ::access(path.c_str(), R_OK) != 0 ? std::strerror(errno) : "cannot be read";
  }
  if (messages_) {
    messages_->ShowMessage(
        "Can't open sound file\n" + path + "\n" + why + "; the show plays without sound",
        MessageSink::kNoCode);
  }
}

WaveOpenResult SoundTrackPlayer::OpenWaveLocked(int startFrame, bool validateOnly) {
  const WaveOpenResult result = reader_.Open(std::string(file_.Path()), startFrame, frameRate_);
  if (result != WaveOpenResult::kOk) return result;
  format_ = reader_.Format();
  dataLength_ = reader_.DataLength();
  dataPosition_ = reader_.DataPosition();
  if (validateOnly) {
    reader_.Close();
    return result;
  }
  nextBuffer_ = 0;
  QueueNextBufferLocked();
  QueueNextBufferLocked();
  return result;
}

bool SoundTrackPlayer::QueueNextBuffer() {
  std::lock_guard lock(mutex_);
  return QueueNextBufferLocked();
}

bool SoundTrackPlayer::QueueNextBufferLocked() {
  const uint32_t left = dataLength_ > dataPosition_ ? dataLength_ - dataPosition_ : 0;
  const bool widen = DeviceFormat(format_) != format_;
  // Widened pieces hold whole samples.
  const uint32_t count = std::min(widen ? kBufferSize - kBufferSize % 3 : kBufferSize, left);
  if (count < 1) return false;
  std::vector<uint8_t>& buffer = buffers_[size_t(nextBuffer_)];
  if (!reader_.Read(buffer.data(), count)) return false;
  dataPosition_ += count;
  if (widen) {
    // The sample's three bytes become the top three of four.
    const uint32_t samples = count / 3;
    for (uint32_t i = 0; i < samples; ++i) {
      widened_[4 * i] = 0;
      std::copy_n(&buffer[3 * i], 3, &widened_[4 * i + 1]);
    }
    output_.Queue(std::span<const uint8_t>(widened_.data(), size_t{samples} * 4));
  } else {
    output_.Queue(std::span<const uint8_t>(buffer.data(), count));
  }
  nextBuffer_ = 1 - nextBuffer_;
  return true;
}

void SoundTrackPlayer::OnBufferDone() {
  std::lock_guard lock(mutex_);
  if (playing_) QueueNextBufferLocked();
}

bool SoundTrackPlayer::IsPlaying() const {
  std::lock_guard lock(mutex_);
  return playing_;
}

bool SoundTrackPlayer::IsReaderOpen() const {
  std::lock_guard lock(mutex_);
  return reader_.IsOpen();
}

WaveFormat SoundTrackPlayer::Format() const {
  std::lock_guard lock(mutex_);
  return format_;
}

uint32_t SoundTrackPlayer::DataLength() const {
  std::lock_guard lock(mutex_);
  return dataLength_;
}

uint32_t SoundTrackPlayer::DataPosition() const {
  std::lock_guard lock(mutex_);
  return dataPosition_;
}

}  // namespace vantoril

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "media/wave_format.h"

namespace vantoril {

enum class WaveOpenResult {
  kOk,
  kCannotOpen,      // no message: the preview runs silent
  kNotRiff,         // "Not a valid RIFF file"
  kNotWave,         // "Not a valid WAV file"
  kBadFormat,       // "Not a valid WAV file": a format chunk we cannot use
  kTruncated,       // "Not a valid WAV file": cut before its sound
  kNoData,          // "Not a valid WAV file": the chunks ended before "data"
  kStartBeyondEnd,  // no message: the start lies at or past the end of the sound
};

// The message a result shows, or null for the results that fail silently.
const char* WaveOpenMessage(WaveOpenResult result);

// A RIFF/WAVE file opened for streaming its sample data: the format read from
// its "fmt " chunk and the file positioned in its "data" chunk.
class WaveFile {
 public:
  // Opens path and positions it at the sound that belongs to startFrame at
  // frameRate (frames per second x 100). The start is frameRate-independent
  // at frame 0; otherwise average bytes per second x startFrame / whole frames
  // per second, rounded down to a whole sample frame (block alignment).
  WaveOpenResult Open(const std::string& path, int startFrame, int frameRate);
  // The same for a stream already open for reading (a file in memory); the
  // WaveFile takes it over and closes it. A null stream cannot be opened.
  WaveOpenResult OpenStream(std::FILE* stream, int startFrame, int frameRate);
  void Close() { file_.reset(); }
  bool IsOpen() const { return file_ != nullptr; }

  const WaveFormat& Format() const { return format_; }
  // Bytes of sample data the file holds (a "data" chunk that claims more is
  // cut to the file), and the bytes of it before the start position.
  uint32_t DataLength() const { return dataLength_; }
  uint32_t DataPosition() const { return dataPosition_; }

  // Reads exactly count bytes of sample data; false on a short read.
  bool Read(uint8_t* destination, size_t count);

 private:
  struct FileCloser {
    // The owning pointer's deleter: the one place the file is closed.
    // NOLINTNEXTLINE(cppcoreguidelines-owning-memory)
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  WaveOpenResult Parse(int startFrame, int frameRate);
  bool Skip(int64_t count);

  std::unique_ptr<std::FILE, FileCloser> file_;
  int64_t fileSize_ = 0;
  WaveFormat format_;
  uint32_t dataLength_ = 0;
  uint32_t dataPosition_ = 0;
};

}  // namespace vantoril

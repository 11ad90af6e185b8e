#include "media/wave_file.h"

#include <algorithm>
#include <cstring>

#include "media/binary_file.h"

namespace vantoril {
namespace {

uint16_t Le16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr int64_t kFormatReadLimit = 1024;
// The fields up to and including bits per sample.
constexpr int64_t kFormatMinimum = 16;
// The extensible record: its sub-format GUID at 24 holds the format tag in
// its first two bytes, followed by these fourteen.
constexpr int64_t kExtensibleSize = 40;
constexpr int kSubFormat = 24;
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

const char* WaveOpenMessage(WaveOpenResult result) {
  switch (result) {
    case WaveOpenResult::kNotRiff:
      return "Not a valid RIFF file";
    case WaveOpenResult::kNotWave:
    case WaveOpenResult::kBadFormat:
    // Cut in its header or without sound: a start of the preview would
    // otherwise be silent without a word.
    case WaveOpenResult::kTruncated:
    case WaveOpenResult::kNoData:
      return "Not a valid WAV file";
    default:
      return nullptr;
  }
}

WaveOpenResult WaveFile::Open(const std::string& path, int startFrame, int frameRate) {
  // OpenStream owns the stream from here on, opened or not.
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory)
  return OpenStream(IsRegularFile(path) ? std::fopen(path.c_str(), "rb") : nullptr, startFrame,
                    frameRate);
}

WaveOpenResult WaveFile::OpenStream(std::FILE* stream, int startFrame, int frameRate) {
  Close();
  format_ = WaveFormat{};
  dataLength_ = 0;
  dataPosition_ = 0;
  file_.reset(stream);
  if (!file_) return WaveOpenResult::kCannotOpen;
  if (fseeko(file_.get(), 0, SEEK_END) != 0 || (fileSize_ = ftello(file_.get())) < 0 ||
      fseeko(file_.get(), 0, SEEK_SET) != 0) {
    Close();
    return WaveOpenResult::kCannotOpen;
  }
  const WaveOpenResult result = Parse(startFrame, frameRate);
  if (result != WaveOpenResult::kOk) Close();
  return result;
}

bool WaveFile::Read(uint8_t* destination, size_t count) {
  return file_ && std::fread(destination, 1, count, file_.get()) == count;
}

// Skips forward within the file; a skip past its end is a truncated file.
bool WaveFile::Skip(int64_t count) {
  const int64_t position = ftello(file_.get());
  if (position < 0 || count > fileSize_ - position) return false;
  return fseeko(file_.get(), position + count, SEEK_SET) == 0;
}

WaveOpenResult WaveFile::Parse(int startFrame, int frameRate) {
  uint8_t riff[12];
  if (!Read(riff, 12)) return WaveOpenResult::kTruncated;
  // A big-endian "RIFX" file is refused with the others.
  if (std::memcmp(riff, "RIFF", 4) != 0) return WaveOpenResult::kNotRiff;
  if (std::memcmp(riff + 8, "WAVE", 4) != 0) return WaveOpenResult::kNotWave;

  int64_t remaining = Le32(riff + 4);
  while (remaining >= 0) {
    uint8_t header[8];
    if (!Read(header, 8)) break;
    const int64_t size = Le32(header + 4);
    // Chunks are padded to an even length; the pad byte is not counted.
    const int64_t pad = size & 1;
    remaining -= 8 + size + pad;

    // Only the first three letters are compared: "fmt " and "fmt\0" both occur.
    if (std::memcmp(header, "fmt", 3) == 0) {
      if (size < kFormatMinimum) return WaveOpenResult::kBadFormat;
      uint8_t body[kFormatReadLimit];
      const int64_t count = std::min(size, kFormatReadLimit);
      if (!Read(body, size_t(count))) return WaveOpenResult::kTruncated;
      format_.formatTag = Le16(body);
      format_.channels = Le16(body + 2);
      format_.samplesPerSec = Le32(body + 4);
      format_.avgBytesPerSec = Le32(body + 8);
      format_.blockAlign = Le16(body + 12);
      // Taken for every format, not only PCM: float files need it, and a
      // format the output cannot play is refused by the output.
      format_.bitsPerSample = Le16(body + 14);
      // 24-bit and many-channel files are mostly written extensible; one
      // of a known sub-format is that format.
      if (format_.formatTag == WaveFormat::kExtensible && count >= kExtensibleSize &&
          std::memcmp(body + kSubFormat + 2, kSubFormatTail, sizeof kSubFormatTail) == 0) {
        format_.formatTag = Le16(body + kSubFormat);
      }
      // Every start offset is a whole number of sample frames.
      if (format_.blockAlign == 0) return WaveOpenResult::kBadFormat;
      if (!Skip(size - count + pad)) return WaveOpenResult::kTruncated;
    } else if (std::memcmp(header, "data", 4) == 0) {
      const int64_t start = ftello(file_.get());
      if (start < 0) return WaveOpenResult::kTruncated;
      // A writer that stopped early leaves the claimed size standing: play
      // what is there.
      const int64_t length = std::min(size, std::max<int64_t>(0, fileSize_ - start));
      dataLength_ = uint32_t(length);
      if (startFrame <= 0) return WaveOpenResult::kOk;
      // (rate + 10) / 100 whole frames per second: 30 for 29.97, 24 for 23.97.
      const int64_t framesPerSecond = std::max<int64_t>(1, (int64_t{frameRate} + 10) / 100);
      int64_t offset = int64_t{format_.avgBytesPerSec} * startFrame / framesPerSecond;
      offset -= offset % format_.blockAlign;
      if (offset >= length) return WaveOpenResult::kStartBeyondEnd;
      if (fseeko(file_.get(), start + offset, SEEK_SET) != 0) return WaveOpenResult::kTruncated;
      dataPosition_ = uint32_t(offset);
      return WaveOpenResult::kOk;
    } else if (!Skip(size + pad)) {
      return WaveOpenResult::kTruncated;
    }
  }
  return WaveOpenResult::kNoData;
}

}  // namespace vantoril

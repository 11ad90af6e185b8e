#include "media/avi_stream_rate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace vantoril {
namespace {

struct FileCloser {
  // The owning pointer's deleter: the one place the file is closed.
  // NOLINTNEXTLINE(cppcoreguidelines-owning-memory)
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ReadExact(std::FILE* file, void* destination, size_t count) {
  return std::fread(destination, 1, count, file) == count;
}

// Walks the chunks from the file's position up to `end`, descending into
// LIST "hdrl" and LIST "strl", and stops at the first video stream header.
std::optional<AviStreamRate> FindVideoHeader(std::FILE* file, int64_t end, int depth) {
  for (;;) {
    const int64_t position = ftello(file);
    if (position < 0 || position + 8 > end) return std::nullopt;
    uint8_t header[8];
    if (!ReadExact(file, header, 8)) return std::nullopt;
    const int64_t size = Le32(header + 4);
    const int64_t body = position + 8;
    // Chunks are padded to an even length.
    const int64_t next = body + size + (size & 1);
    if (std::memcmp(header, "LIST", 4) == 0 && depth < 2) {
      uint8_t listType[4];
      if (size < 4 || !ReadExact(file, listType, 4)) return std::nullopt;
      const bool headerList = std::memcmp(listType, "hdrl", 4) == 0;
      if (headerList || std::memcmp(listType, "strl", 4) == 0) {
        if (auto found = FindVideoHeader(file, std::min(body + size, end), depth + 1)) {
          return found;
        }
        // The header list holds every stream header: nothing after it counts.
        if (headerList) return std::nullopt;
      }
    } else if (std::memcmp(header, "strh", 4) == 0) {
      // fccType, fccHandler, dwFlags, wPriority, wLanguage, dwInitialFrames,
      // dwScale, dwRate.
      uint8_t streamHeader[28];
      if (size < 28 || !ReadExact(file, streamHeader, 28)) return std::nullopt;
      if (std::memcmp(streamHeader, "vids", 4) == 0) {
        return AviStreamRate{Le32(streamHeader + 24), Le32(streamHeader + 20)};
      }
    }
    if (fseeko(file, next, SEEK_SET) != 0) return std::nullopt;
  }
}

std::optional<AviStreamRate> ReadRiffHeader(std::FILE* file) {
  uint8_t riff[12];
  if (!ReadExact(file, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "AVI ", 4) != 0) {
    return std::nullopt;
  }
  return FindVideoHeader(file, 8 + int64_t{Le32(riff + 4)}, 0);
}

}  // namespace

std::optional<AviStreamRate> ReadAviVideoRate(const std::string& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  return ReadRiffHeader(file.get());
}

std::optional<AviStreamRate> ReadAviVideoRate(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return std::nullopt;
  // A stream opened for reading only never writes to its buffer.
  FilePtr file(fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb"));
  if (!file) return std::nullopt;
  return ReadRiffHeader(file.get());
}

int32_t AviFrameRate(const AviStreamRate& stream) {
  if (stream.rate == 0 || stream.scale == 0) return 0;
  const uint64_t rate = uint64_t{stream.rate} * 100 / stream.scale;
  return rate > uint64_t{std::numeric_limits<int32_t>::max()} ? 0 : int32_t(rate);
}

}  // namespace vantoril

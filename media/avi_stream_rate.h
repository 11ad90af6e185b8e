#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vantoril {

// The rate and scale of an AVI file's first video stream, exactly as its
// stream header ("strh") stores them: the stream runs at rate / scale frames
// per second.
struct AviStreamRate {
  uint32_t rate = 0;
  uint32_t scale = 0;
};

// Reads the header list of an AVI file for the first stream of type "vids".
// Nothing when the file is not a readable AVI or has no video stream.
std::optional<AviStreamRate> ReadAviVideoRate(const std::string& path);
// The same for a file held in memory.
std::optional<AviStreamRate> ReadAviVideoRate(std::span<const uint8_t> bytes);

// The program's frame rate for a stream (frames per second x 100, truncated:
// 30000/1001 gives 2997); 0 when the header holds a zero rate or scale or the
// result does not fit.
int32_t AviFrameRate(const AviStreamRate& stream);

}  // namespace vantoril

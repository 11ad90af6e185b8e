#pragma once

#include <cstdint>

namespace vantoril {

inline constexpr int32_t kDefaultFrameRate = 2997;

// The process-wide time values: the frame rate as frames per second x 100
// (2997, 2500, 2397) and the current frame.
struct ShowClock {
  int32_t frameRate = kDefaultFrameRate;
  int32_t currentTime = 0;

  // Whole frames per second, as the program rounds them.
  int32_t RoundedRate() const { return (frameRate + 50) / 100; }
};

}  // namespace vantoril

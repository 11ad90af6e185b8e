#pragma once

#include <cstdint>

namespace vantoril {

// The frame rates a show runs at, as frames per second x 100 (the unit the
// settings and the command line use too).
inline constexpr int32_t kFrameRateNtsc = 2997;
inline constexpr int32_t kFrameRatePal = 2500;
inline constexpr int32_t kFrameRateFilm = 2397;
inline constexpr int32_t kDefaultFrameRate = kFrameRateNtsc;

// The process-wide time values: the frame rate and the current frame.
struct ShowClock {
  int32_t frameRate = kDefaultFrameRate;
  int32_t currentTime = 0;

  // Whole frames per second, as the program rounds them.
  int32_t RoundedRate() const { return (frameRate + 50) / 100; }
};

}  // namespace vantoril

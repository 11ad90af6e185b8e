#pragma once

#include <cstdint>
#include <vector>

#include "engine/image_buffer.h"

namespace vantoril::test {

// A 32-bit frame whose every pixel differs with `seed`, and whose alpha is
// 0 (what the compositor may leave behind).
ImageBuffer PatternFrame(int width, int height, int seed);

// The frame's top-down blue, green, red, 255 bytes, as a decoder gives them.
std::vector<uint8_t> ExpectedBgra(const ImageBuffer& frame);

// The mean absolute difference of two equal-sized byte blocks (alpha bytes
// included).
double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// A frame filled with one grey level, for stamping a frame's identity.
void FillGrey(ImageBuffer& frame, uint8_t level);
// The mean of a decoded frame's green bytes.
double MeanGreen(const std::vector<uint8_t>& bgra);

}  // namespace vantoril::test

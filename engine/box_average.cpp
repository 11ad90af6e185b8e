#include "engine/box_average.h"

#include <algorithm>

namespace vantoril {

bool BoxAverage(const ImageBuffer& image, int left, int top, int right, int bottom, uint8_t& blue,
                uint8_t& green, uint8_t& red) {
  if (!image.HasHeader() || image.BitsPerPixel() != 32) {
    return false;
  }
  const int width = image.Width();
  const int height = image.Height();
  left = std::clamp(left, 0, width);
  top = std::clamp(top, 0, height);
  // The brush never asks past the image; a caller that does gets the part
  // that exists rather than a read outside the pixel block.
  right = std::min(right, width);
  bottom = std::min(bottom, height);
  if (right <= left || bottom <= top) {
    return false;
  }
  const int64_t count = int64_t{right - left} * (bottom - top);
  // 64 bits: a whole 8192 x 8192 image sums past 2^31.
  int64_t sumBlue = 0;
  int64_t sumGreen = 0;
  int64_t sumRed = 0;
  for (int row = top; row < bottom; ++row) {
    const uint8_t* p = image.RowPointer(height - row - 1) + 4 * left;
    for (int column = left; column < right; ++column, p += 4) {
      sumBlue += p[0];
      sumGreen += p[1];
      sumRed += p[2];
    }
  }
  blue = static_cast<uint8_t>(sumBlue / count);
  green = static_cast<uint8_t>(sumGreen / count);
  red = static_cast<uint8_t>(sumRed / count);
  return true;
}

}  // namespace vantoril

#include "output/support/test_frames.h"

#include <cstdlib>

namespace vantoril::test {

ImageBuffer PatternFrame(int width, int height, int seed) {
  ImageBuffer frame(width, height, 32);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = frame.RowPointer(y);
    for (int x = 0; x < width; ++x) {
      row[4 * x + 0] = static_cast<uint8_t>(x * 7 + seed * 13);
      row[4 * x + 1] = static_cast<uint8_t>(y * 5 + seed * 29);
      row[4 * x + 2] = static_cast<uint8_t>((x ^ y) * 3 + seed * 51);
      row[4 * x + 3] = 0;
    }
  }
  return frame;
}

std::vector<uint8_t> ExpectedBgra(const ImageBuffer& frame) {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(frame.Width()) * frame.Height() * 4);
  for (int y = frame.Height() - 1; y >= 0; --y) {
    const uint8_t* row = frame.RowPointer(y);
    for (int x = 0; x < frame.Width(); ++x) {
      bytes.insert(bytes.end(), {row[4 * x], row[4 * x + 1], row[4 * x + 2], uint8_t{255}});
    }
  }
  return bytes;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int{a[i]} - int{b[i]});
  return sum / static_cast<double>(a.size());
}

void FillGrey(ImageBuffer& frame, uint8_t level) {
  for (int y = 0; y < frame.Height(); ++y) {
    uint8_t* row = frame.RowPointer(y);
    for (int x = 0; x < frame.Width(); ++x) {
      row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = level;
      row[4 * x + 3] = 0;
    }
  }
}

double MeanGreen(const std::vector<uint8_t>& bgra) {
  double sum = 0;
  for (size_t i = 1; i < bgra.size(); i += 4) sum += bgra[i];
  return bgra.empty() ? 0 : sum / static_cast<double>(bgra.size() / 4);
}

}  // namespace vantoril::test

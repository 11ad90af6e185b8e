#include <cstdlib>

#include "media/image_reader_support.h"
#include "media/load_image_file.h"

namespace vantoril {

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// A frame of film: sprocket holes along the top and bottom edges and, between
// them, an empty picture frame crossed by its diagonals. x from the left, y
// from the top; true is white.
bool PlaceholderBit(int x, int y) {
  // Sprocket holes: 8 x 6 every 16 pixels in the two edge bands.
  const bool inTopBand = y >= 4 && y < 10;
  const bool inBottomBand = y >= kHeight - 10 && y < kHeight - 4;
  if ((inTopBand || inBottomBand) && (x % 16) >= 4 && (x % 16) < 12) {
    return true;
  }
  constexpr int left = 12;
  constexpr int top = 16;
  constexpr int right = kWidth - 1 - 12;
  constexpr int bottom = kHeight - 1 - 16;
  if (x < left || x > right || y < top || y > bottom) {
    return false;
  }
  // The frame, 2 pixels wide.
  if (x < left + 2 || x > right - 2 || y < top + 2 || y > bottom - 2) {
    return true;
  }
  // The diagonals: points within about a pixel of either corner-to-corner line.
  constexpr int w = right - left;
  constexpr int h = bottom - top;
  const int dx = x - left;
  const int dy = y - top;
  return std::abs(dx * h - dy * w) <= w || std::abs((w - dx) * h - dy * w) <= w;
}

}  // namespace

bool LoadPlaceholderPicture(ImageBuffer& image) {
  if (image_reader::CreatePicture(image, kWidth, kHeight, 24) != kImageRead) {
    return false;
  }
  for (int y = 0; y < kHeight; ++y) {
    // Row 0 of the buffer is the bottom line.
    uint8_t* row = image.RowPointer(kHeight - 1 - y);
    for (int x = 0; x < kWidth; ++x, row += 3) {
      row[0] = row[1] = row[2] = PlaceholderBit(x, y) ? 255 : 0;
    }
  }
  return true;
}

}  // namespace vantoril

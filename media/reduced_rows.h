#pragma once

// Pictures too large to hold, read at a half, a quarter or an eighth of their
// size; not part of the media interface.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/image_buffer.h"

namespace vantoril {

// Takes a picture's rows one after another, top first, and keeps the
// average of each block of factor x factor pixels in the picture (blocks at
// the right and bottom edges may be smaller). Rows of the picture's own
// format: 8 bits a sample, every sample averaged alike.
class ReducedRows {
 public:
  // The factor (1, 2, 4 or 8) that brings both sides within a picture's
  // largest side; 0 when even 8 does not.
  static int FactorFor(int64_t width, int64_t height);
  // The side of the reduced picture.
  static int Reduced(int64_t side, int factor) {
    return static_cast<int>((side + factor - 1) / factor);
  }

  // image: already created at the reduced size. bottomUp: the picture's
  // first row is the buffer's last.
  ReducedRows(ImageBuffer& image, int sourceWidth, int factor, bool bottomUp);

  // Where the next row goes.
  uint8_t* Row() { return row_.data(); }
  // Adds that row; a block's last row writes the block out.
  void Add();
  // Writes out the rows of a block that the picture ended in.
  void Finish();

 private:
  ImageBuffer& image_;
  int sourceWidth_;
  int factor_;
  bool bottomUp_;
  size_t pixelBytes_;
  std::vector<uint8_t> row_;
  std::vector<uint32_t> sums_;
  int rowsGathered_ = 0;
  int rowsOut_ = 0;
};

}  // namespace vantoril

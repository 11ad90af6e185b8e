#pragma once

#include <array>
#include <cstdint>

#include "engine/image_buffer.h"
#include "engine/key_frame.h"

namespace vantoril::testing {

using Bgra = std::array<uint8_t, 4>;

// A 32-bit image filled with one colour.
inline ImageBuffer SolidImage(int width, int height, Bgra colour) {
  ImageBuffer image(width, height, 32);
  for (int y = 0; y < height; ++y) {
    uint8_t* p = image.RowPointer(y);
    for (int x = 0; x < width; ++x, p += 4) {
      p[0] = colour[0];
      p[1] = colour[1];
      p[2] = colour[2];
      p[3] = colour[3];
    }
  }
  return image;
}

// Pixels addressed by display row (row 0 on top).
inline Bgra PixelAt(const ImageBuffer& image, int x, int displayRow) {
  const uint8_t* p = image.RowPointer(image.Height() - 1 - displayRow) + 4 * x;
  return {p[0], p[1], p[2], p[3]};
}

inline void SetPixel(ImageBuffer& image, int x, int displayRow, Bgra colour) {
  uint8_t* p = image.RowPointer(image.Height() - 1 - displayRow) + 4 * x;
  for (int k = 0; k < 4; ++k) {
    p[k] = colour[k];
  }
}

inline KeyFrame PictureState(float x, float y, float width, float height, float rotation = 0,
                             float level = 0) {
  KeyFrame state{};
  state.x = x;
  state.y = y;
  state.width = width;
  state.height = height;
  state.rotation = rotation;
  state.level = level;
  return state;
}

}  // namespace vantoril::testing

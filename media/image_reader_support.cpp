#include "media/image_reader_support.h"

#include <algorithm>
#include <new>

namespace vantoril::image_reader {

ImageReadResult CreatePicture(ImageBuffer& image, int64_t width, int64_t height, int bitsPerPixel) {
  if (width < 1 || height < 1) {
    return kImageUnreadable;
  }
  if (width > ImageBuffer::kMaxSide || height > ImageBuffer::kMaxSide) {
    return kImageTooLarge;
  }
  // Create keeps the blocks of a buffer that already has this size and depth.
  const bool kept = image.HasHeader() && image.Width() == width && image.Height() == height &&
                    image.BitsPerPixel() == bitsPerPixel;
  try {
    if (!image.Create(static_cast<int>(width), static_cast<int>(height), bitsPerPixel)) {
      return kImageNoMemory;
    }
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
  if (!kept) {
    return kImageRead;  // new blocks: zero pixels and the grey ramp
  }
  std::span<uint8_t> pixels = image.PixelBlock();
  std::fill(pixels.begin(), pixels.end(), uint8_t{0});
  for (int i = 0; i < image.PaletteEntries(); ++i) {
    uint8_t* entry = image.PaletteEntry(i);
    entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
    entry[3] = 0;
  }
  return kImageRead;
}

void MakeZeroAlphaOpaque(ImageBuffer& image) {
  if (image.BitsPerPixel() != 32) {
    return;
  }
  const int rowBytes = image.Width() * 4;
  for (int y = 0; y < image.Height(); ++y) {
    const uint8_t* row = image.RowPointer(y);
    for (int i = 3; i < rowBytes; i += 4) {
      if (row[i] != 0) {
        return;
      }
    }
  }
  image.SetAlpha(255);
}

}  // namespace vantoril::image_reader

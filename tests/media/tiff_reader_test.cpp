#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/image_buffer.h"
#include "media/image_readers.h"
#include "media/support/image_file_builder.h"
#include "media/support/picture_files.h"

namespace vantoril {
namespace {

using test::PatternSample;

using test::TiffEntry;

// Top-down rows of the test pattern, samples in file order (red first).
std::vector<uint8_t> Pixels(int width, int height, int samples) {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < samples; ++c) {
        pixels.push_back(PatternSample(x, y, c));
      }
    }
  }
  return pixels;
}

std::vector<TiffEntry> BasicEntries(int width, int height, int samples, uint32_t stripOffset = 8) {
  return {{256, 3, 1, static_cast<uint32_t>(width)},
          {257, 4, 1, static_cast<uint32_t>(height)},
          {259, 3, 1, 1},
          {262, 3, 1, 2},
          {273, 4, 1, stripOffset},
          {277, 3, 1, static_cast<uint32_t>(samples)},
          {278, 4, 1, static_cast<uint32_t>(height)}};
}

// Reads a TIFF of the given pixels and entries into image.
ImageReadResult ReadTiff(ImageBuffer& image, bool big, const std::vector<uint8_t>& pixels,
                         const std::vector<TiffEntry>& entries,
                         const std::vector<uint32_t>& offsets = {}) {
  return test::ReadImageBytes(test::TiffBytes(big, pixels, entries, offsets), "test.tif", image);
}

void ExpectRgbPattern(const ImageBuffer& image, int width, int height, int samples) {
  ASSERT_EQ(image.Width(), width);
  ASSERT_EQ(image.Height(), height);
  ASSERT_EQ(image.BitsPerPixel(), samples * 8);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = test::PixelAt(image, x, y);
      ASSERT_EQ(p[2], PatternSample(x, y, 0)) << x << "," << y;
      ASSERT_EQ(p[1], PatternSample(x, y, 1));
      ASSERT_EQ(p[0], PatternSample(x, y, 2));
      if (samples == 4) {
        ASSERT_EQ(p[3], PatternSample(x, y, 3));
      }
    }
  }
}

// RGB and RGBA in both byte orders, and an IFD beyond the first block.
TEST(TiffReader, ReadsRgbRgbaAndGreyInBothByteOrders) {
  struct Case {
    int width, height, samples;
  };
  for (const Case& c : {Case{5, 3, 3}, Case{4, 2, 4}, Case{40, 40, 3}}) {
    for (bool big : {false, true}) {
      ImageBuffer image;
      ASSERT_EQ(ReadTiff(image, big, Pixels(c.width, c.height, c.samples),
                         BasicEntries(c.width, c.height, c.samples)),
                kImageRead)
          << c.width << " x " << c.height << " x " << c.samples << (big ? " MM" : " II");
      ExpectRgbPattern(image, c.width, c.height, c.samples);
    }
  }

  ImageBuffer grey;
  ASSERT_EQ(ReadTiff(grey, true, Pixels(5, 3, 1), BasicEntries(5, 3, 1)), kImageRead);
  ASSERT_EQ(grey.BitsPerPixel(), 8);
  EXPECT_EQ(test::PixelAt(grey, 4, 0)[0], PatternSample(4, 0, 0));
  EXPECT_EQ(test::PixelAt(grey, 1, 2)[0], PatternSample(1, 2, 0));
  EXPECT_EQ(grey.PaletteEntry(77)[2], 77);
}

TEST(TiffReader, ReadsSeveralStrips) {
  // Three strips of two rows, stored in reverse order, listed in a LONG table.
  const int width = 3;
  const int height = 5;
  const std::vector<uint8_t> rows = Pixels(width, height, 3);
  const size_t stripBytes = 2 * width * 3;
  std::vector<uint8_t> pixels;
  for (int s = 2; s >= 0; --s) {
    const size_t begin = s * stripBytes;
    pixels.insert(pixels.end(), rows.begin() + begin,
                  rows.begin() + std::min(rows.size(), begin + stripBytes));
  }
  const uint32_t lastStrip = width * 3;  // one row
  const std::vector<uint32_t> offsets = {8 + lastStrip + static_cast<uint32_t>(stripBytes),
                                         8 + lastStrip, 8};
  std::vector<TiffEntry> entries = BasicEntries(width, height, 3);
  entries[4] = {273, 4, 3, test::TiffTableOffset(pixels.size(), entries.size())};
  entries[6].value = 2;
  for (bool big : {false, true}) {
    ImageBuffer image;
    ASSERT_EQ(ReadTiff(image, big, pixels, entries, offsets), kImageRead);
    ExpectRgbPattern(image, width, height, 3);
  }

  // Two SHORT offsets live in the entry's own value field.
  std::vector<TiffEntry> inField = BasicEntries(width, 4, 3);
  // Copied into place rather than appended: GCC 12 at -O3 warns falsely
  // (-Warray-bounds) about the insert.
  std::vector<uint8_t> swapped(2 * stripBytes);
  std::copy_n(rows.begin() + stripBytes, stripBytes, swapped.begin());
  std::copy_n(rows.begin(), stripBytes, swapped.begin() + stripBytes);
  // Strip 0 (rows 0-1) is second in the file, strip 1 first.
  inField[4] = {273, 3, 2, (8u + static_cast<uint32_t>(stripBytes)) | (8u << 16)};
  inField[6].value = 2;
  for (bool big : {false, true}) {
    ImageBuffer image;
    ASSERT_EQ(ReadTiff(image, big, swapped, inField), kImageRead);
    ExpectRgbPattern(image, width, 4, 3);
  }
}

TEST(TiffReader, RefusesWhatItCannotRead) {
  struct Case {
    const char* what;
    TiffEntry change;
    size_t index;
    ImageReadResult result;
  };
  for (const Case& c : {Case{"LZW", {259, 3, 1, 5}, 2, kImageCompressed},
                        Case{"two samples", {277, 3, 1, 2}, 5, kImageUnreadable},
                        Case{"five samples", {277, 3, 1, 5}, 5, kImageUnreadable},
                        Case{"width 8193", {256, 4, 1, 8193}, 0, kImageTooLarge},
                        Case{"height 0", {257, 4, 1, 0}, 1, kImageUnreadable}}) {
    std::vector<TiffEntry> entries = BasicEntries(5, 3, 3);
    entries[c.index] = c.change;
    ImageBuffer image;
    EXPECT_EQ(ReadTiff(image, false, Pixels(5, 3, 3), entries), c.result) << c.what;
  }
  ImageBuffer image;
  std::vector<uint8_t> notTiff = test::TiffBytes(false, Pixels(5, 3, 3), BasicEntries(5, 3, 3));
  notTiff[2] = 43;  // the large-file variant
  EXPECT_EQ(test::ReadImageBytes(notTiff, "big.tif", image), kImageUnreadable);
}

TEST(TiffReader, StripLoopsEnd) {
  std::vector<TiffEntry> entries = BasicEntries(5, 3, 3);
  const uint32_t table = test::TiffTableOffset(45, entries.size());
  ImageBuffer image;

  // Several strips of no rows each would never fill the picture.
  entries[4] = {273, 4, 3, table};
  entries[6].value = 0;
  EXPECT_EQ(ReadTiff(image, false, Pixels(5, 3, 3), entries, {8, 8, 8}), kImageUnreadable);

  // Four billion strips of one row whose table ends with the file after two.
  entries[4] = {273, 4, 0xFFFFFFFF, table};
  entries[6].value = 1;
  EXPECT_EQ(ReadTiff(image, false, Pixels(5, 3, 3), entries, {8, 23}), kImageRead);
  EXPECT_EQ(test::PixelAt(image, 4, 1)[0], PatternSample(4, 1, 2));
  EXPECT_EQ(test::PixelAt(image, 4, 2)[0], 0);

  // Strips that point past the end of the file read nothing.
  entries[4] = {273, 4, 3, 0x7FFFFFF0};
  EXPECT_EQ(ReadTiff(image, false, Pixels(5, 3, 3), entries), kImageRead);
  EXPECT_EQ(test::PixelAt(image, 0, 0)[2], 0);
}

}  // namespace
}  // namespace vantoril

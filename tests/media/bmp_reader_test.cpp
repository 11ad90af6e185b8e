#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/image_buffer.h"
#include "media/image_readers.h"
#include "media/support/image_file_builder.h"

namespace vantoril {
namespace {

using test::ByteWriter;
using test::PatternSample;

struct BmpLayout {
  int width = 5;
  int height = 3;  // negative: rows stored top-down
  int bitCount = 24;
  uint32_t compression = 0;
  uint32_t infoSize = 40;
  uint32_t colorsUsed = 0;
  std::array<uint32_t, 3> masks{};  // written after a 40-byte header when compression is 3
  const char* signature = "BM";
};

// Row bytes of picture line y (from the top): the test pattern in the
// layout's depth, padded to 4 bytes. 16-bit words keep bit 15 clear.
std::vector<uint8_t> BmpRow(const BmpLayout& layout, int y) {
  const int bytes = layout.bitCount / 8;
  std::vector<uint8_t> row;
  for (int x = 0; x < layout.width; ++x) {
    for (int c = 0; c < bytes; ++c) {
      row.push_back(bytes == 2 && c == 1 ? PatternSample(x, y, c) & 0x7F : PatternSample(x, y, c));
    }
  }
  row.resize((row.size() + 3) & ~size_t{3}, 0);
  return row;
}

std::vector<uint8_t> MakeBmp(const BmpLayout& layout,
                             const std::vector<std::array<uint8_t, 4>>& palette = {}) {
  const int rows = std::abs(layout.height);
  ByteWriter info;
  info.U32LE(layout.infoSize)
      .U32LE(layout.width)
      .U32LE(static_cast<uint32_t>(layout.height))
      .U16LE(1)
      .U16LE(layout.bitCount)
      .U32LE(layout.compression)
      .U32LE(0)
      .U32LE(2835)
      .U32LE(2835)
      .U32LE(layout.colorsUsed)
      .U32LE(0);
  const auto masks = [&] {
    info.U32LE(layout.masks[0]).U32LE(layout.masks[1]).U32LE(layout.masks[2]);
  };
  const bool masksInside = layout.compression == 3 && layout.infoSize >= 52;
  if (masksInside) masks();
  info.PadTo(layout.infoSize);
  if (layout.compression == 3 && !masksInside) masks();
  for (const auto& entry : palette) {
    info.U8(entry[0]).U8(entry[1]).U8(entry[2]).U8(entry[3]);
  }
  ByteWriter pixels;
  for (int r = 0; r < rows; ++r) {
    // Bottom-up files store the last picture line first.
    pixels.Bytes(BmpRow(layout, layout.height > 0 ? rows - 1 - r : r));
  }
  const uint32_t offBits = static_cast<uint32_t>(14 + info.Size());
  ByteWriter file;
  file.Text(layout.signature)
      .U32LE(offBits + static_cast<uint32_t>(pixels.Size()))
      .U32LE(0)
      .U32LE(offBits)
      .Bytes(info.Data())
      .Bytes(pixels.Data());
  return file.Data();
}

// Every line of the buffer holds the bytes of the file's line, padding aside.
void ExpectPattern(const ImageBuffer& image, const BmpLayout& layout) {
  ASSERT_EQ(image.Width(), layout.width);
  ASSERT_EQ(image.Height(), std::abs(layout.height));
  ASSERT_EQ(image.BitsPerPixel(), layout.bitCount);
  const size_t rowBytes = static_cast<size_t>(layout.width) * (layout.bitCount / 8);
  for (int y = 0; y < image.Height(); ++y) {
    const std::vector<uint8_t> expected = BmpRow(layout, y);
    const uint8_t* row = image.RowPointer(image.Height() - 1 - y);
    ASSERT_EQ(std::vector<uint8_t>(row, row + rowBytes),
              std::vector<uint8_t>(expected.begin(), expected.begin() + rowBytes))
        << "line " << y << " at " << layout.bitCount << " bits";
  }
}

TEST(BmpReader, ReadsEveryAcceptedVariant) {
  std::vector<BmpLayout> layouts = {
      {.signature = "MB"},
      {.width = 8192, .height = 1, .bitCount = 8},  // a side of 8192 passes the size test
      // Plain bit fields read as uncompressed, masks after or inside the header.
      {.bitCount = 16, .compression = 3, .masks = {0x7C00, 0x03E0, 0x001F}},
      {.bitCount = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}},
      {.bitCount = 32, .compression = 3, .infoSize = 124, .masks = {0xFF0000, 0xFF00, 0xFF}},
  };
  for (int bitCount : {8, 16, 24, 32}) {
    for (int height : {3, -3}) layouts.push_back({.height = height, .bitCount = bitCount});
  }
  for (const BmpLayout& layout : layouts) {
    ImageBuffer image;
    ASSERT_EQ(test::ReadImageBytes(MakeBmp(layout), "variant.bmp", image), kImageRead)
        << layout.bitCount << " bits, " << layout.width << " x " << layout.height << ", header "
        << layout.infoSize << ", compression " << layout.compression << ", " << layout.signature;
    ExpectPattern(image, layout);
  }
}

// The pixel rows follow the palette at once: reading 256 entries where the
// header says fewer would take pixels for colours. The entries not given
// keep the grey ramp.
TEST(BmpReader, PaletteFollowsTheHeaderAndHoldsColorsUsedEntries) {
  for (const uint32_t used : {2u, 255u}) {
    BmpLayout layout;
    layout.bitCount = 8;
    layout.infoSize = 124;
    layout.colorsUsed = used;
    std::vector<std::array<uint8_t, 4>> palette;
    for (uint32_t i = 0; i < used; ++i) {
      palette.push_back({static_cast<uint8_t>(10 + i / 2), static_cast<uint8_t>(i ^ 0x55), 3, 0});
    }
    ImageBuffer image;
    ASSERT_EQ(test::ReadImageBytes(MakeBmp(layout, palette), "palette.bmp", image), kImageRead);
    ExpectPattern(image, layout);
    for (uint32_t i = 0; i < 256; ++i) {
      const uint8_t* entry = image.PaletteEntry(static_cast<int>(i));
      const std::array<uint8_t, 3> want =
          i < used ? std::array<uint8_t, 3>{palette[i][0], palette[i][1], palette[i][2]}
                   : std::array<uint8_t, 3>{uint8_t(i), uint8_t(i), uint8_t(i)};
      ASSERT_EQ((std::array<uint8_t, 3>{entry[0], entry[1], entry[2]}), want)
          << used << " entries, entry " << i;
    }
  }
}

TEST(BmpReader, RefusesWhatItCannotHold) {
  const struct {
    const char* what;
    BmpLayout layout;
    ImageReadResult result;
  } cases[] = {
      {"5-6-5 bit fields",
       {.bitCount = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}},
       kImageCompressed},
      {"bit fields at 24 bits",
       {.compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}},
       kImageCompressed},
      {"RLE8", {.bitCount = 8, .compression = 1}, kImageCompressed},
      {"4 bits", {.bitCount = 4}, kImageTooFewColors},
      {"1 bit", {.bitCount = 1}, kImageTooFewColors},
      {"width 8193", {.width = 8193}, kImageTooLarge},
      {"top-down height 8193", {.height = -8193}, kImageTooLarge},
      {"48 bits", {.bitCount = 48}, kImageUnreadable},
      {"12 bits", {.bitCount = 12}, kImageUnreadable},
      {"core header", {.infoSize = 12}, kImageUnreadable},
      {"height 0", {.height = 0}, kImageUnreadable},
  };
  for (const auto& c : cases) {
    ImageBuffer image;
    EXPECT_EQ(test::ReadImageBytes(MakeBmp(c.layout), "refused.bmp", image), c.result) << c.what;
  }
}

TEST(BmpReader, ShortFilesKeepUnreadRowsBlack) {
  BmpLayout layout;
  std::vector<uint8_t> bytes = MakeBmp(layout);
  // Keep the bottom line only (stored first).
  bytes.resize(bytes.size() - 2 * 16);
  ImageBuffer image;
  // A buffer of the same size that held another picture must not show through.
  image.Create(5, 3, 24);
  std::fill(image.PixelBlock().begin(), image.PixelBlock().end(), uint8_t{0xAB});
  ImageFile file;
  file.path = test::WriteTestFile("short.bmp", bytes);
  ASSERT_TRUE(file.file.Open(file.path, BinaryFile::Mode::kRead));
  ASSERT_EQ(ReadImageByFormat(image, file), kImageRead);
  EXPECT_EQ(test::PixelAt(image, 0, 2)[0], PatternSample(0, 2, 0));
  EXPECT_EQ(test::PixelAt(image, 0, 0)[0], 0);

  // A file that ends inside the header is unreadable.
  bytes.resize(40);
  EXPECT_EQ(test::ReadImageBytes(bytes, "header.bmp", image), kImageUnreadable);
}

TEST(BmpReader, ZeroAlphaEverywhereMeansOpaque) {
  BmpLayout layout;
  layout.bitCount = 32;
  std::vector<uint8_t> bytes = MakeBmp(layout);
  const size_t offBits = 54;
  for (size_t i = offBits + 3; i < bytes.size(); i += 4) {
    bytes[i] = 0;
  }
  ImageBuffer image;
  ASSERT_EQ(test::ReadImageBytes(bytes, "noalpha.bmp", image), kImageRead);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(test::PixelAt(image, i % 5, i / 5)[3], 255) << i;
  // One non-zero alpha byte means the alpha is real.
  bytes[offBits + 3] = 7;
  ASSERT_EQ(test::ReadImageBytes(bytes, "somealpha.bmp", image), kImageRead);
  EXPECT_EQ(image.RowPointer(0)[3], 7);
  EXPECT_EQ(image.RowPointer(0)[7], 0);
}

}  // namespace
}  // namespace vantoril

#include "media/image_readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/image_buffer.h"
#include "fuzz/seeds/picture_files.h"
#include "media/reduced_rows.h"

// The reader tests run over the picture files in tests/data/images, which
// fuzz/seeds/make_image_seeds writes; their pixels follow the patterns of
// fuzz/seeds/picture_files.h.
namespace vantoril {
namespace {

using pictures::BlockLevel;
using pictures::PatternSample;
using pictures::RunSample;
using pictures::SmoothSample;
using pictures::StreakSample;

ImageReadResult Read(const std::string& name, ImageBuffer& image) {
  ImageFile file;
  if (!file.file.Open(VANTORIL_TEST_DATA "/images/" + name, BinaryFile::Mode::kRead)) {
    return -1;
  }
  file.path = name;  // the name alone decides, not the folders above it
  return ReadImageByFormat(image, file);
}

// Pixel (x, y from the top).
const uint8_t* PixelAt(const ImageBuffer& image, int x, int y) {
  return image.RowPointer(image.Height() - 1 - y) + x * (image.BitsPerPixel() / 8);
}

// Grey pictures show their one channel as blue, green and red.
uint8_t GreyRun(int x, int y, int) {
  return RunSample(x, y, 0);
}
uint8_t GreySmooth(int x, int y, int) {
  return SmoothSample(x, y, 2);
}
// Indexed: the pixels hold the run pattern as indexes; palette plane p
// (red first) holds i * (p + 1) + p at index i.
uint8_t Indexed(int x, int y, int c) {
  const int index = RunSample(x, y, 0);
  return static_cast<uint8_t>(index * (3 - c) + 2 - c);
}

uint8_t GreyPattern(int x, int y, int) {
  return PatternSample(x, y, 0);
}

// Inks: each colour is what is left of its ink and of black. Photoshop
// stores the inks turned over, 255 for none.
uint8_t PhotoshopInks(int x, int y, int byte) {
  return byte == 3 ? PatternSample(x, y, 3)
                   : static_cast<uint8_t>((RunSample(x, y, byte) * RunSample(x, y, 3) + 127) / 255);
}
uint8_t TiffInks(int x, int y, int byte) {
  const auto none = [&](int c) { return 255 - PatternSample(x, y, c); };
  return byte == 3 ? PatternSample(x, y, 3)
                   : static_cast<uint8_t>((none(byte) * none(3) + 127) / 255);
}

// WidePattern at half its size, 8201 pixels wide.
uint8_t HalfOfWide(int x, int y, int byte) {
  return static_cast<uint8_t>(BlockLevel(x, y, byte) + (x < 4100 ? 15 : 10));
}

// A picture's colours with the run pattern's alpha as the fourth byte.
template <uint8_t (*Colour)(int, int, int)>
uint8_t WithAlpha(int x, int y, int byte) {
  return byte == 3 ? RunSample(x, y, 3) : Colour(x, y, byte);
}

struct Pin {
  int x, y, byte, value;
};

struct Case {
  const char* file;
  int width, height, bits;
  uint8_t (*expected)(int x, int y, int byte) = nullptr;  // every byte of every pixel
  std::vector<Pin> pins{};
  int tolerance = 0;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.file;
}

class ImageReader : public ::testing::TestWithParam<Case> {};

// Each file is read twice, the second time into the same buffer (of the
// picture's size by then) stained: what the file leaves unread stays black.
TEST_P(ImageReader, ReadsTheFile) {
  const Case& c = GetParam();
  ImageBuffer image(16, 16, 8);
  ASSERT_EQ(Read(c.file, image), kImageRead);
  std::ranges::fill(image.PixelBlock(), uint8_t{0xAB});
  ASSERT_EQ(Read(c.file, image), kImageRead);
  ASSERT_EQ(image.Width(), c.width);
  ASSERT_EQ(image.Height(), c.height);
  ASSERT_EQ(image.BitsPerPixel(), c.bits);
  for (int y = 0; c.expected != nullptr && y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      for (int b = 0; b < c.bits / 8; ++b) {
        ASSERT_NEAR(PixelAt(image, x, y)[b], c.expected(x, y, b), c.tolerance)
            << x << "," << y << " byte " << b;
      }
    }
  }
  for (const Pin& p : c.pins) {
    EXPECT_EQ(PixelAt(image, p.x, p.y)[p.byte], p.value) << p.x << "," << p.y << " byte " << p.byte;
  }
}

std::string FileName(const ::testing::TestParamInfo<Case>& info) {
  std::string name = info.param.file;
  std::ranges::replace_if(
      name, [](unsigned char ch) { return std::isalnum(ch) == 0; }, '_');
  return name;
}

constexpr auto P = PatternSample;

const Case kBmp[] = {
    {"bmp8.bmp", 5, 3, 8, P},
    {"bmp8-top-down.bmp", 5, 3, 8, P},
    {"bmp16.bmp", 5, 3, 16, P},
    {"bmp16-top-down.bmp", 5, 3, 16, P},
    {"bmp24.bmp", 5, 3, 24, P},
    {"bmp24-top-down.bmp", 5, 3, 24, P},
    {"bmp32.bmp", 5, 3, 32, P},
    {"bmp32-top-down.bmp", 5, 3, 32, P},
    {"bmp24-mb.bmp", 5, 3, 24, P},
    {"bmp8-width-8192.bmp", 8192, 1, 8},
    // Plain bit fields read as uncompressed, the masks after or inside the header.
    {"bmp16-bitfields.bmp", 5, 3, 16, P},
    {"bmp32-bitfields.bmp", 5, 3, 32, P},
    {"bmp32-bitfields-v5.bmp", 5, 3, 32, P},
    // The pixels follow a palette of the entries the header counts.
    {"bmp8-palette-2.bmp", 5, 3, 8, P},
    {"bmp8-palette-255.bmp", 5, 3, 8, P},
    // Alpha 0 everywhere means opaque; one alpha byte set makes the alpha real.
    {"bmp32-alpha-zero.bmp", 5, 3, 32, nullptr, {{0, 0, 3, 255}, {4, 2, 3, 255}}},
    {"bmp32-alpha-one.bmp", 5, 3, 32, nullptr, {{0, 2, 3, 7}, {1, 2, 3, 0}}},
    {"bmp24-short.bmp", 5, 3, 24, nullptr, {{0, 2, 0, P(0, 2, 0)}, {0, 0, 0, 0}}},
};
INSTANTIATE_TEST_SUITE_P(Bmp, ImageReader, ::testing::ValuesIn(kBmp), FileName);

// The bottom row (stored first) and four pixels of the middle one.
const std::vector<Pin> kFourPixelsAndARow = {
    {0, 2, 0, RunSample(0, 2, 0)}, {3, 1, 2, RunSample(3, 1, 2)}, {4, 1, 0, 0}, {0, 0, 0, 0}};

// Without the top-origin bit the first row stored is the bottom one; 15-bit
// pixels are the buffer's 16-bit words; the image id and the colour map are
// passed over.
const Case kTarga[] = {
    {"tga8.tga", 5, 3, 8, P},
    {"tga15.tga", 5, 3, 16, P},
    {"tga16.tga", 5, 3, 16, P},
    {"tga24.tga", 5, 3, 24, P},
    {"tga32.tga", 5, 3, 32, P},
    {"tga24-top-origin.tga", 5, 3, 24, P},
    {"tga8-mapped-15.tga", 5, 3, 8, P},
    {"tga8-mapped-24.tga", 5, 3, 8, P},
    {"tga24-short.tga", 5, 3, 24, nullptr, {{0, 2, 0, P(0, 2, 0)}, {4, 0, 2, 0}}},
    // Run-length packets, raw ones and runs each running on into the next row.
    {"tga24-rle.tga", 5, 3, 24, RunSample},
    {"tga32-rle-top-origin.tga", 5, 3, 32, StreakSample},
    {"tga8-grey-rle.tga", 40, 7, 8, P},
    {"tga8-mapped-rle.tga", 5, 3, 8, RunSample},
    {"tga24-rle-short.tga", 5, 3, 24, nullptr, kFourPixelsAndARow},
    // Not a JPEG: only ".jp" and ".JP" in a name send a file to that reader.
    {"tga8-as-photo.Jpg", 1, 1, 8, P},
};
INSTANTIATE_TEST_SUITE_P(Targa, ImageReader, ::testing::ValuesIn(kTarga), FileName);

// The first row as the first two; the last row black.
const std::vector<Pin> kFirstRowTwice = {{399, 1, 0, P(399, 0, 0)}, {0, 7, 0, 0}, {399, 7, 2, 0}};

// The first row and the red byte of the middle row's third pixel.
const std::vector<Pin> kRowAndAHalf = {{4, 0, 0, P(4, 0, 0)},
                                       {1, 1, 0, P(1, 1, 0)},
                                       {2, 1, 2, P(2, 1, 2)},
                                       {2, 1, 1, 0},
                                       {0, 2, 0, 0}};

const Case kTiff[] = {
    {"tif-ii-rgb.tif", 5, 3, 24, P},
    {"tif-mm-rgb.tif", 5, 3, 24, P},
    {"tif-ii-rgba.tif", 4, 2, 32, P},
    {"tif-mm-rgba.tif", 4, 2, 32, P},
    // The directory lies beyond the first block the reader takes.
    {"tif-ii-40x40.tif", 40, 40, 24, P},
    {"tif-mm-40x40.tif", 40, 40, 24, P},
    {"tif-mm-grey.tif", 5, 3, 8, P},
    // 16-bit samples keep their high byte; indexed and white-at-0 pictures
    // get their palettes (below).
    {"tif-ii-rgb-16.tif", 5, 3, 24, P},
    {"tif-mm-rgb-16.tif", 5, 3, 24, P},
    {"tif-ii-grey-16.tif", 5, 3, 8, P},
    {"tif-mm-palette.tif", 5, 3, 8, P},
    {"tif-ii-min-is-white.tif", 5, 3, 8, P},
    {"tif-ii-grey-alpha.tif", 5, 3, 32, WithAlpha<GreyPattern>},
    // Strips stored out of order, listed in a table or in the entry itself.
    {"tif-ii-strips.tif", 3, 5, 24, P},
    {"tif-mm-strips.tif", 3, 5, 24, P},
    {"tif-ii-strips-in-field.tif", 3, 4, 24, P},
    {"tif-mm-strips-in-field.tif", 3, 4, 24, P},
    // The strip loops end at the end of the table, and read nothing past the file.
    {"tif-4-billion-strips.tif", 5, 3, 24, nullptr, {{4, 1, 0, P(4, 1, 0)}, {4, 2, 0, 0}}},
    // Inks, with or without alpha.
    {"tif-cmyk.tif", 5, 3, 24, TiffInks},
    {"tif-cmyk-alpha.tif", 5, 3, 32, TiffInks},
    // Compressed strips, with or without differences from the pixel before.
    {"tif-ii-rgb-lzw.tif", 96, 64, 24, P},
    {"tif-mm-rgb16-lzw-predictor.tif", 5, 3, 24, P},
    {"tif-ii-rgba-deflate-predictor.tif", 4, 2, 32, P},
    {"tif-ii-grey-packbits-strips.tif", 5, 3, 8, P},
    {"tif-ii-rgb-deflate-short.tif", 5, 3, 24, nullptr, kRowAndAHalf},
    // Past the largest side: read at half the size, the last column of blocks one pixel wide.
    {"tif-ii-rgb-8201x4-lzw.tif", 4101, 2, 24, HalfOfWide},
    {"tif-ii-rgb-8201x4-lzw-planar.tif", 4101, 2, 24, HalfOfWide},
    // Each sample in a plane of its own, in one strip or in several.
    {"tif-ii-rgba-planar.tif", 4, 3, 32, P},
    {"tif-mm-rgb16-lzw-planar.tif", 5, 3, 24, P},
    // Tiles cut by the picture's edges, samples side by side or apart.
    {"tif-ii-rgb-tiles.tif", 20, 18, 24, P},
    {"tif-mm-rgba16-lzw-planar-tiles.tif", 20, 18, 32, P},
    // Damaged: every strip is the first; those past twice the file's size
    // are not read.
    {"tif-lzw-one-strip-eight-times.tif", 400, 8, 24, nullptr, kFirstRowTwice},
    {"tif-strips-past-end.tif", 5, 3, 24, nullptr, {{0, 0, 2, 0}}},
};
INSTANTIATE_TEST_SUITE_P(Tiff, ImageReader, ::testing::ValuesIn(kTiff), FileName);

// Files cut after the first row of the red channel.
const std::vector<Pin> kRedRowOnly = {{4, 0, 2, RunSample(4, 0, 2)}, {4, 0, 1, 0}, {4, 2, 0, 0}};

// Raw and PackBits, 8 and 16 bits; a fourth channel is alpha, a fifth is
// ignored; colour mode data longer than the reader's work block.
const Case kPhotoshop[] = {
    {"psd-rgb.psd", 5, 3, 24, RunSample},
    {"psd-rgb16.psd", 5, 3, 24, RunSample},
    {"psd-rgb-packbits.psd", 5, 3, 24, RunSample},
    {"psd-rgb16-packbits.psd", 5, 3, 24, RunSample},
    {"psd-rgba.psd", 5, 3, 32, RunSample},
    {"psd-rgba-packbits.psd", 5, 3, 32, RunSample},
    {"psd-5-channels.psd", 5, 3, 32, RunSample},
    {"psd-5-channels-packbits.psd", 5, 3, 32, RunSample},
    {"psd-rgb-long-colour-data.psd", 5, 3, 24, RunSample},
    {"psd-grey-packbits.psd", 5, 3, 24, GreyRun},
    {"psd-grey16-packbits.psd", 5, 3, 24, GreyRun},
    {"psd-indexed.psd", 5, 3, 24, Indexed},
    // The channel after the colour one is the transparency; more are passed over.
    {"psd-grey-alpha.psd", 5, 3, 32, WithAlpha<GreyRun>},
    {"psd-indexed-alpha-packbits.psd", 5, 3, 32, WithAlpha<Indexed>},
    {"psd-cmyk.psd", 5, 3, 24, PhotoshopInks},
    {"psd-cmyk-alpha-packbits.psd", 5, 3, 32, PhotoshopInks},
    {"psd-rgb-short.psd", 5, 3, 24, nullptr, kRedRowOnly},
    {"psd-rgb-packbits-short.psd", 5, 3, 24, nullptr, kRedRowOnly},
};
INSTANTIATE_TEST_SUITE_P(Photoshop, ImageReader, ::testing::ValuesIn(kPhotoshop), FileName);

uint8_t Grey90(int, int, int) {
  return 90;
}
uint8_t OneColour(int, int, int byte) {
  return static_cast<uint8_t>(60 + 50 * byte);
}

// Bottom up as blue, green, red, within what JPEG keeps; an Exif file is
// found by its signature whatever its name.
const Case kJpeg[] = {
    {"jpeg-rgb.jpg", 32, 16, 24, SmoothSample, {}, 6},
    {"jpeg-grey.jpg", 32, 16, 24, GreySmooth, {}, 6},
    {"jpeg-progressive.jpg", 32, 16, 24, SmoothSample, {}, 6},
    // The inks of a print program's CMYK file become colours.
    {"jpeg-cmyk.jpg", 32, 16, 24, SmoothSample, {}, 6},
    {"jpeg-exif.Jpg", 32, 16, 24, SmoothSample, {}, 6},
    // JPEG TIFF files; the strips' colours are subsampled up to their edges.
    {"tif-jpeg-ycbcr-strips.tif", 32, 16, 24, SmoothSample, {}, 8},
    {"tif-jpeg-grey-tiles.tif", 24, 12, 8, GreySmooth, {}, 6},
    // Photos past 8192 pixels come at a half, a quarter or an eighth of their size.
    {"jpeg-width-8193.jpg", 4097, 1, 24, Grey90, {}, 2},
    {"jpeg-20000x9.jpg", 5000, 3, 24, OneColour, {}, 3},
};
INSTANTIATE_TEST_SUITE_P(Jpeg, ImageReader, ::testing::ValuesIn(kJpeg), FileName);

uint8_t BlackOrWhite(int x, int y, int) {
  return RunSample(x, y, 0) & 1 ? 255 : 0;
}
// Indexed, with alpha 255 - index.
uint8_t SeeThrough(int x, int y, int byte) {
  return byte == 3 ? static_cast<uint8_t>(255 - RunSample(x, y, 0)) : Indexed(x, y, byte);
}

// Every kind of PNG becomes blue, green, red, with alpha where the file has
// any; 16-bit samples keep their high byte.
const Case kPng[] = {
    {"png-rgb.png", 5, 3, 24, RunSample},
    {"png-rgba.png", 5, 3, 32, RunSample},
    {"png-rgb16.png", 5, 3, 24, RunSample},
    {"png-grey.png", 5, 3, 24, GreyRun},
    {"png-grey-alpha.png", 5, 3, 32, WithAlpha<GreyRun>},
    {"png-grey-1-bit.png", 5, 3, 24, BlackOrWhite},
    {"png-indexed.png", 5, 3, 24, Indexed},
    {"png-indexed-see-through.png", 5, 3, 32, SeeThrough},
    {"png-8201x4.png", 4101, 2, 24, HalfOfWide},
    {"png-interlaced.png", 13, 11, 24, RunSample},
};
INSTANTIATE_TEST_SUITE_P(Png, ImageReader, ::testing::ValuesIn(kPng), FileName);

TEST(ImageReaders, PicturesPastTheLargestSideAreReducedByTheSmallestPowerOfTwo) {
  for (const auto& [width, height, factor] :
       {std::tuple(8192, 8192, 1), std::tuple(8193, 1, 2), std::tuple(1, 16384, 2),
        std::tuple(16385, 16384, 4), std::tuple(65536, 3, 8), std::tuple(65537, 3, 0)}) {
    EXPECT_EQ(ReducedRows::FactorFor(width, height), factor) << width << "x" << height;
  }
}

TEST(ImageReaders, RefuseWhatTheyCannotRead) {
  const struct {
    ImageReadResult result;
    std::vector<const char*> files;
  } cases[] = {
      {kImageCompressed,
       {"bmp16-565.bmp", "bmp24-bitfields.bmp", "bmp8-rle.bmp", "tga24-huffman.tga",
        "tif-old-style-jpeg.tif", "tif-lzw-old-style.tif", "psd-zip.psd"}},
      {kImageTooFewColors, {"bmp4.bmp", "bmp1.bmp", "tif-1-bit.tif"}},
      {kImageTooLarge,
       {"bmp24-width-8193.bmp", "bmp24-height-8193-top-down.bmp", "tga24-width-8193.tga",
        "tif-width-65537.tif", "psd-height-8193.psd", "png-width-65537.png",
        "png-interlaced-width-8193.png"}},
      // Damaged, cut short, or a variant the readers leave out.
      {kImageUnreadable,
       {"bmp-cut-in-header.bmp", "bmp48.bmp", "bmp12.bmp", "bmp24-core-header.bmp",
        "bmp24-height-0.bmp"}},
      {kImageUnreadable,
       {"tga-cut-in-header.tga", "tga4.tga", "tga12.tga", "tga20.tga", "tga40.tga",
        "tga24-width-0.tga", "tga16-mapped.tga", "tga16-grey.tga"}},
      {kImageUnreadable, {"tga8-as-photo-upper.JPG", "tga8-as-photo.jpeg"}},
      {kImageUnreadable,
       {"tif-strips-of-0-rows.tif", "tif-5-samples.tif", "tif-height-0.tif",
        "tif-big-variant.tif"}},
      {kImageUnreadable,
       {"tif-32-bit.tif", "tif-planar.tif", "tif-tiled.tif", "tif-tiles-past-end.tif",
        "tif-inks-not-cmyk.tif"}},
      {kImageUnreadable,
       {"psd-cmy.psd", "psd-bitmap.psd", "psd-32-bit.psd", "psd-no-channels.psd",
        "psd-width-0.psd"}},
      {kImageUnreadable, {"psd-version-2.psd", "psd-row-counts-too-large.psd"}},
      {kImageUnreadable,
       {"jpeg-half.jpg", "jpeg-200-bytes.jpg", "jpeg-garbage.jpg", "jpeg-empty.jpg",
        "jpeg-width-0.jpg"}},
      {kImageUnreadable, {"png-half.png", "png-bad-check.png", "not-a-picture.gif"}},
  };
  for (const auto& c : cases) {
    for (const char* file : c.files) {
      ImageBuffer image(16, 16, 8);
      EXPECT_EQ(Read(file, image), c.result) << file;
    }
  }
}

// The entries a file gives, and the grey ramp the others keep.
TEST(ImageReaders, PaletteHoldsTheEntriesGivenAndTheGreyRampElsewhere) {
  const struct {
    const char* file;
    int entry;
    std::array<uint8_t, 3> blueGreenRed;
  } cases[] = {
      {"bmp8-palette-2.bmp", 1, {10, 0x54, 3}},
      {"bmp8-palette-2.bmp", 2, {2, 2, 2}},
      {"bmp8-palette-255.bmp", 0, {10, 0x55, 3}},
      {"bmp8-palette-255.bmp", 254, {137, 0xAB, 3}},
      {"bmp8-palette-255.bmp", 255, {255, 255, 255}},
      {"tga8-mapped-15.tga", 100, {33, 99, 222}},
      {"tga8-mapped-24.tga", 100, {100, 155, 44}},
      {"tga8-mapped-rle.tga", 100, {100, 155, 44}},
      {"tif-mm-grey.tif", 77, {77, 77, 77}},
      {"tif-mm-palette.tif", 100, {46, 201, 100}},
      {"tif-ii-min-is-white.tif", 77, {178, 178, 178}},
  };
  for (const auto& c : cases) {
    ImageBuffer image(16, 16, 8);
    ASSERT_EQ(Read(c.file, image), kImageRead) << c.file;
    const uint8_t* entry = image.PaletteEntry(c.entry);
    EXPECT_EQ((std::array<uint8_t, 3>{entry[0], entry[1], entry[2]}), c.blueGreenRed)
        << c.file << " entry " << c.entry;
  }
}

}  // namespace
}  // namespace vantoril

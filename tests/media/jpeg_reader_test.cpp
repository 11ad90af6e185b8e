#include <gtest/gtest.h>

#include <vector>

#include "engine/image_buffer.h"
#include "media/image_readers.h"
#include "media/support/image_file_builder.h"
#include "media/support/picture_files.h"

namespace vantoril {
namespace {

// A smooth picture (JPEG keeps it within a few levels): red across, green
// down, blue constant.
uint8_t Sample(int x, int y, int channel) {
  return static_cast<uint8_t>(channel == 0 ? x * 8 : channel == 1 ? y * 12 : 128);
}

std::vector<uint8_t> Compress(int width, int height, bool grey) {
  return test::JpegBytes(width, height, grey, 95, false, Sample);
}

constexpr int kTolerance = 6;

// Colour comes out bottom up as blue, green, red; grey as three equal channels.
TEST(JpegReader, DecodesColourBottomUpAsBlueGreenRed) {
  for (const bool grey : {false, true}) {
    ImageBuffer image;
    ASSERT_EQ(test::ReadImageBytes(Compress(32, 16, grey), "picture.jpg", image), kImageRead);
    ASSERT_EQ(image.Width(), 32);
    ASSERT_EQ(image.Height(), 16);
    ASSERT_EQ(image.BitsPerPixel(), 24);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 32; ++x) {
        const uint8_t* p = test::PixelAt(image, x, y);
        for (int c = 0; c < 3; ++c) {
          ASSERT_NEAR(p[2 - c], Sample(x, y, grey ? 0 : c), kTolerance) << x << "," << y << grey;
        }
        ASSERT_TRUE(!grey || (p[0] == p[1] && p[1] == p[2])) << x << "," << y;
      }
    }
  }
}

TEST(JpegReader, BadFilesAreUnreadableNotFatal) {
  const std::vector<uint8_t> good = Compress(32, 16, false);
  // A frame header that claims a width of 0.
  std::vector<uint8_t> noWidth = good;
  for (size_t i = 2; i + 9 < noWidth.size(); ++i) {
    if (noWidth[i] == 0xFF && noWidth[i + 1] == 0xC0) {
      noWidth[i + 7] = noWidth[i + 8] = 0;
      break;
    }
  }
  // Cut in half; the headers and the first bytes of the scan; garbage; empty.
  for (const std::vector<uint8_t>& bytes :
       {std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2),
        std::vector<uint8_t>(good.begin(), good.begin() + 200),
        std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE},
        std::vector<uint8_t>{}, noWidth}) {
    ImageBuffer image;
    EXPECT_EQ(test::ReadImageBytes(bytes, "bad.jpg", image), kImageUnreadable) << bytes.size();
  }
  ImageBuffer image;
  EXPECT_EQ(test::ReadImageBytes(Compress(8193, 1, true), "wide.jpg", image), kImageTooLarge);
}

TEST(JpegReader, ExifFileIsFoundByItsSignatureWhateverItsName) {
  // Replace the JFIF segment (FF E0) by a minimal Exif one (FF E1).
  const std::vector<uint8_t> jfif = Compress(16, 8, false);
  ASSERT_EQ(jfif[3], 0xE0);
  const size_t segmentEnd = 4 + ((jfif[4] << 8) | jfif[5]);
  std::vector<uint8_t> exif = jfif;
  exif.erase(exif.begin() + 2, exif.begin() + static_cast<std::ptrdiff_t>(segmentEnd));
  const uint8_t app1[] = {0xFF, 0xE1, 0x00, 0x08, 'E', 'x', 'i', 'f', 0, 0};
  exif.insert(exif.begin() + 2, std::begin(app1), std::end(app1));
  ImageBuffer image;
  ASSERT_EQ(test::ReadImageBytes(exif, "photo.Jpg", image), kImageRead);
  EXPECT_NEAR(test::PixelAt(image, 15, 0)[2], Sample(15, 0, 0), kTolerance);
}

TEST(JpegReader, NameRuleTakesOnlyTwoSpellings) {
  // A valid 1 x 1 grey Targa: found as Targa unless the name says JPEG.
  const std::vector<uint8_t> targa = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0, 77};
  ImageBuffer image;
  EXPECT_EQ(test::ReadImageBytes(targa, "picture.Jpg", image), kImageRead);
  EXPECT_EQ(image.RowPointer(0)[0], 77);
  EXPECT_EQ(test::ReadImageBytes(targa, "picture.JPG", image), kImageUnreadable);
  EXPECT_EQ(test::ReadImageBytes(targa, "picture.jpeg", image), kImageUnreadable);
}

}  // namespace
}  // namespace vantoril

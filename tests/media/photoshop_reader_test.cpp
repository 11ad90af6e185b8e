#include <gtest/gtest.h>

#include <vector>

#include "engine/image_buffer.h"
#include "media/image_readers.h"
#include "media/support/image_file_builder.h"

namespace vantoril {
namespace {

using test::ByteWriter;
using test::PatternSample;

struct PsdLayout {
  int channels = 3;
  uint32_t width = 5;
  uint32_t height = 3;
  int depth = 8;
  int mode = 3;
  int compression = 0;  // 0 raw, 1 PackBits
  std::vector<uint8_t> colorData{};
  uint16_t version = 1;
};

// A row of PackBits: a run of the first two samples when they are equal,
// literals otherwise, so that both kinds of packet appear.
std::vector<uint8_t> PackRow(const std::vector<uint8_t>& row) {
  std::vector<uint8_t> packed;
  const auto pairAt = [&](size_t i) { return i + 1 < row.size() && row[i] == row[i + 1]; };
  for (size_t i = 0, n; i < row.size(); i += n) {
    const bool run = pairAt(i);
    for (n = 1; i + n < row.size() && n < 128 && (run ? row[i + n] == row[i] : !pairAt(i + n));) {
      ++n;
    }
    packed.push_back(static_cast<uint8_t>(run ? 1 - static_cast<int>(n) : static_cast<int>(n) - 1));
    packed.insert(packed.end(), row.begin() + i, row.begin() + i + (run ? 1 : n));
  }
  return packed;
}

// Sample of channel c at (x, y): the pattern, with runs in the left half of
// every row so that PackBits uses both packet kinds.
uint8_t Sample(int x, int y, int c) {
  return x < 2 ? PatternSample(0, y, c) : PatternSample(x, y, c);
}

std::vector<uint8_t> ChannelRow(const PsdLayout& layout, int c, int y) {
  std::vector<uint8_t> row;
  for (uint32_t x = 0; x < layout.width; ++x) {
    row.push_back(Sample(static_cast<int>(x), y, c));
    if (layout.depth == 16) {
      row.push_back(0x5A);  // the low byte, which is not used
    }
  }
  return row;
}

std::vector<uint8_t> MakePsd(const PsdLayout& layout) {
  ByteWriter file;
  file.Text("8BPS")
      .U16BE(layout.version)
      .Fill(6)
      .U16BE(layout.channels)
      .U32BE(layout.height)
      .U32BE(layout.width)
      .U16BE(layout.depth)
      .U16BE(layout.mode)
      .U32BE(static_cast<uint32_t>(layout.colorData.size()))
      .Bytes(layout.colorData)
      .U32BE(6)
      .Text("8BIM..")  // image resources, passed over
      .U32BE(4)
      .Fill(4, 0xCC)  // layer and mask section, passed over
      .U16BE(layout.compression);
  if (layout.compression == 0) {
    for (int c = 0; c < layout.channels; ++c) {
      for (uint32_t y = 0; y < layout.height; ++y) {
        file.Bytes(ChannelRow(layout, c, static_cast<int>(y)));
      }
    }
    return file.Data();
  }
  std::vector<std::vector<uint8_t>> packed;
  for (int c = 0; c < layout.channels; ++c) {
    for (uint32_t y = 0; y < layout.height; ++y) {
      packed.push_back(PackRow(ChannelRow(layout, c, static_cast<int>(y))));
      file.U16BE(static_cast<unsigned>(packed.back().size()));
    }
  }
  for (const auto& row : packed) {
    file.Bytes(row);
  }
  return file.Data();
}

// Blue, green, red (and alpha) of every pixel from the file's channels.
void ExpectRgb(const ImageBuffer& image, const PsdLayout& layout, bool alpha) {
  ASSERT_EQ(image.BitsPerPixel(), alpha ? 32 : 24);
  ASSERT_EQ(image.Width(), static_cast<int>(layout.width));
  ASSERT_EQ(image.Height(), static_cast<int>(layout.height));
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const uint8_t* p = test::PixelAt(image, x, y);
      ASSERT_EQ(p[2], Sample(x, y, 0)) << x << "," << y;
      ASSERT_EQ(p[1], Sample(x, y, 1));
      ASSERT_EQ(p[0], Sample(x, y, 2));
      if (alpha) {
        ASSERT_EQ(p[3], Sample(x, y, 3));
      }
    }
  }
}

// Raw and PackBits, 8 and 16 bits, a fourth channel as alpha (further ones
// ignored), and colour mode data longer than the work block.
TEST(PhotoshopReader, RgbVariantsAgree) {
  for (const PsdLayout& layout :
       std::vector<PsdLayout>{{},
                              {.depth = 16},
                              {.compression = 1},
                              {.depth = 16, .compression = 1},
                              {.channels = 4},
                              {.channels = 4, .compression = 1},
                              {.channels = 5},
                              {.channels = 5, .compression = 1},
                              {.colorData = std::vector<uint8_t>(2000, 0x11)}}) {
    ImageBuffer image;
    ASSERT_EQ(test::ReadImageBytes(MakePsd(layout), "rgb.psd", image), kImageRead)
        << layout.channels << " channels, compression " << layout.compression << ", depth "
        << layout.depth << ", colour data " << layout.colorData.size();
    ExpectRgb(image, layout, layout.channels > 3);
  }
}

TEST(PhotoshopReader, ReadsGreyAndIndexed) {
  const PsdLayout grey{.channels = 1, .mode = 1, .compression = 1};
  ImageBuffer image;
  ASSERT_EQ(test::ReadImageBytes(MakePsd(grey), "grey.psd", image), kImageRead);
  ASSERT_EQ(image.BitsPerPixel(), 24);
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(test::PixelAt(image, i / 3, 1)[i % 3], Sample(i / 3, 1, 0)) << i;
  }

  PsdLayout indexed{.channels = 1, .mode = 2};
  for (int plane = 0; plane < 3; ++plane) {
    for (int i = 0; i < 256; ++i) {
      indexed.colorData.push_back(static_cast<uint8_t>(i * (plane + 1) + plane));
    }
  }
  ASSERT_EQ(test::ReadImageBytes(MakePsd(indexed), "indexed.psd", image), kImageRead);
  const uint8_t index = Sample(3, 2, 0);
  const uint8_t* p = test::PixelAt(image, 3, 2);
  EXPECT_EQ(p[2], indexed.colorData[index]);
  EXPECT_EQ(p[1], indexed.colorData[256 + index]);
  EXPECT_EQ(p[0], indexed.colorData[512 + index]);
}

TEST(PhotoshopReader, RefusesWhatItCannotRead) {
  struct Case {
    const char* what;
    PsdLayout layout;
    ImageReadResult result;
  };
  const Case cases[] = {
      {"CMYK", {.channels = 4, .mode = 4}, kImageUnreadable},
      {"bitmap", {.channels = 1, .depth = 1, .mode = 0}, kImageUnreadable},
      {"32-bit samples", {.depth = 32}, kImageUnreadable},
      {"no channels", {.channels = 0}, kImageUnreadable},
      {"width 0", {.width = 0}, kImageUnreadable},
      {"version 2", {.version = 2}, kImageUnreadable},
      {"height 8193", {.height = 8193}, kImageTooLarge},
      {"zip", {.compression = 2}, kImageCompressed},
  };
  for (const Case& c : cases) {
    ImageBuffer image;
    EXPECT_EQ(test::ReadImageBytes(MakePsd(c.layout), "refused.psd", image), c.result) << c.what;
  }
  // A PackBits row count beyond the plane (the table follows the compression
  // code at 30 + 4 + 6 + 4 + 4).
  std::vector<uint8_t> bytes = MakePsd({.compression = 1});
  bytes[50] = bytes[51] = 0xFF;
  ImageBuffer image;
  EXPECT_EQ(test::ReadImageBytes(bytes, "counts.psd", image), kImageUnreadable);
}

TEST(PhotoshopReader, ShortFileKeepsTheRestBlack) {
  for (int compression : {0, 1}) {
    std::vector<uint8_t> bytes = MakePsd({.compression = compression});
    // Keep the first row of the red channel only: 5 raw bytes, or a run of
    // 2 and a literal of 3 packed into 6.
    const size_t dataStart = 50 + (compression == 1 ? 2 * 3 * 3 : 0);
    bytes.resize(dataStart + (compression == 1 ? 6 : 5));
    ImageBuffer image;
    ASSERT_EQ(test::ReadImageBytes(bytes, "short.psd", image), kImageRead) << compression;
    EXPECT_EQ(test::PixelAt(image, 4, 0)[2], Sample(4, 0, 0));
    EXPECT_EQ(test::PixelAt(image, 4, 0)[1], 0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(test::PixelAt(image, 4, 2)[c], 0) << c;
  }
}

}  // namespace
}  // namespace vantoril

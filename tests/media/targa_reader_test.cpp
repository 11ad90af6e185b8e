#include <gtest/gtest.h>

#include <vector>

#include "engine/image_buffer.h"
#include "media/image_readers.h"
#include "media/support/image_file_builder.h"

namespace vantoril {
namespace {

using test::ByteWriter;
using test::PatternSample;

struct TargaLayout {
  int width = 5;
  int height = 3;
  int depth = 24;
  int imageType = 2;
  uint8_t descriptor = 0;
  std::string id{};
  int colorMapLength = 0;
  int colorMapEntryBits = 0;
};

// File row r holds pattern line r; no padding.
std::vector<uint8_t> MakeTarga(const TargaLayout& layout) {
  ByteWriter file;
  file.U8(static_cast<unsigned>(layout.id.size()))
      .U8(layout.colorMapLength > 0 ? 1 : 0)
      .U8(layout.imageType)
      .U16LE(0)
      .U16LE(layout.colorMapLength)
      .U8(layout.colorMapEntryBits)
      .U16LE(0)
      .U16LE(0)
      .U16LE(layout.width)
      .U16LE(layout.height)
      .U8(layout.depth)
      .U8(layout.descriptor)
      .Text(layout.id)
      // Colour map entries take whole bytes: 15 bits take 2.
      .Fill(static_cast<size_t>(layout.colorMapLength) * ((layout.colorMapEntryBits + 7) / 8),
            0xEE);
  const int bytes = (layout.depth + 7) / 8;
  for (int r = 0; r < layout.height; ++r) {
    for (int x = 0; x < layout.width; ++x) {
      for (int c = 0; c < bytes; ++c) {
        file.U8(PatternSample(x, r, c));
      }
    }
  }
  return file.Data();
}

// Every depth, first file row at the bottom; and with the top-origin bit,
// first file row at the top.
TEST(TargaReader, ReadsEveryDepthFirstFileRowAtTheBottom) {
  std::vector<TargaLayout> layouts = {{.descriptor = 0x20}};
  for (int depth : {8, 15, 16, 24, 32}) {
    layouts.push_back({.depth = depth, .imageType = depth == 8 ? 3 : 2});
  }
  for (const TargaLayout& layout : layouts) {
    ImageBuffer image;
    ASSERT_EQ(test::ReadImageBytes(MakeTarga(layout), "depth.tga", image), kImageRead)
        << layout.depth;
    const int bytes = (layout.depth + 7) / 8;
    // 15-bit pixels are the buffer's 16-bit words.
    EXPECT_EQ(image.BitsPerPixel(), bytes * 8);
    for (int r = 0; r < layout.height; ++r) {
      const uint8_t* row = image.RowPointer(layout.descriptor ? layout.height - 1 - r : r);
      for (int i = 0; i < layout.width * bytes; ++i) {
        ASSERT_EQ(row[i], PatternSample(i / bytes, r, i % bytes))
            << layout.depth << " bits, row " << r << ", descriptor " << int(layout.descriptor);
      }
    }
  }
}

TEST(TargaReader, SkipsImageIdAndColorMap) {
  for (int entryBits : {15, 24}) {
    const TargaLayout layout{.depth = 8,
                             .imageType = 1,
                             .id = "a picture",
                             .colorMapLength = 256,
                             .colorMapEntryBits = entryBits};
    ImageBuffer image;
    ASSERT_EQ(test::ReadImageBytes(MakeTarga(layout), "mapped.tga", image), kImageRead);
    EXPECT_EQ(image.RowPointer(0)[0], PatternSample(0, 0, 0)) << entryBits << "-bit map";
    EXPECT_EQ(image.RowPointer(2)[4], PatternSample(4, 2, 0)) << entryBits << "-bit map";
    // The map is not used: the grey ramp stays.
    EXPECT_EQ(image.PaletteEntry(100)[0], 100);
  }
}

TEST(TargaReader, RefusesVariantsItCannotRead) {
  struct Case {
    const char* what;
    int depth;
    int imageType;
    int width;
    ImageReadResult result;
  };
  for (const Case& c :
       {Case{"run-length type 10", 24, 10, 5, kImageCompressed},
        Case{"depth 4", 4, 2, 5, kImageUnreadable}, Case{"depth 12", 12, 2, 5, kImageUnreadable},
        Case{"depth 20", 20, 2, 5, kImageUnreadable}, Case{"depth 40", 40, 2, 5, kImageUnreadable},
        Case{"width 0", 24, 2, 0, kImageUnreadable},
        Case{"width 8193", 24, 2, 8193, kImageTooLarge}}) {
    const TargaLayout layout{
        .width = c.width, .height = 1, .depth = c.depth, .imageType = c.imageType};
    ImageBuffer image;
    EXPECT_EQ(test::ReadImageBytes(MakeTarga(layout), "refused.tga", image), c.result) << c.what;
  }
}

TEST(TargaReader, ShortFileKeepsTheRestBlack) {
  std::vector<uint8_t> bytes = MakeTarga({});
  bytes.resize(bytes.size() - 20);
  ImageBuffer image;
  ASSERT_EQ(test::ReadImageBytes(bytes, "short.tga", image), kImageRead);
  EXPECT_EQ(image.RowPointer(0)[0], PatternSample(0, 0, 0));
  EXPECT_EQ(image.RowPointer(2)[14], 0);
  // Fewer bytes than the header: unreadable.
  bytes.resize(10);
  EXPECT_EQ(test::ReadImageBytes(bytes, "tiny.tga", image), kImageUnreadable);
}

}  // namespace
}  // namespace vantoril

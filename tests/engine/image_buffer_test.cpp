#include "engine/image_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace vantoril {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Copy(std::span<const uint8_t> block) {
  return {block.begin(), block.end()};
}

uint8_t* PixelAt(ImageBuffer& image, int x, int y) {
  return image.RowPointer(y) + x * (image.BitsPerPixel() / 8);
}

// Blue, green, red of a 16/24/32-bit pixel; 5-bit fields read back as v << 3.
Bytes ColourAt(ImageBuffer& image, int x, int y) {
  const uint8_t* p = PixelAt(image, x, y);
  if (image.BitsPerPixel() != 16) {
    return {p[0], p[1], p[2]};
  }
  const unsigned w = p[0] | (p[1] << 8);
  return {uint8_t((w & 31) << 3), uint8_t(((w >> 5) & 31) << 3), uint8_t(((w >> 10) & 31) << 3)};
}

TEST(ImageBufferLayout, HeaderPaletteStrideAndZeroedBlock) {
  ImageBuffer image(5, 3, 8);
  const auto info = image.InfoBlock();
  ASSERT_EQ(info.size(), 40u + 256 * 4);
  const Bytes header = {40, 0, 0, 0, 5,    0, 0, 0, 3,    0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0,
                        0,  0, 0, 0, 0x40, 6, 0, 0, 0x40, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Bytes(info.begin(), info.begin() + 40), header);
  EXPECT_EQ(Bytes(image.PaletteEntry(200), image.PaletteEntry(200) + 4), (Bytes{200, 200, 200, 0}));
  EXPECT_EQ(image.PaletteEntry(256), nullptr);
  EXPECT_EQ(image.Stride(), 8);
  EXPECT_EQ(Copy(image.PixelBlock()), Bytes(3 * 8 + 4, 0));
  EXPECT_EQ(image.RowPointer(2), image.PixelBlock().data() + 16);

  EXPECT_EQ(ImageBuffer(4, 4, 2).InfoBlock().size(), 40u + 4 * 4);
  EXPECT_EQ(ImageBuffer(4, 4, 1).InfoBlock().size(), 40u);
  EXPECT_EQ(ImageBuffer::StrideFor(3, 24), 12);
  EXPECT_EQ(ImageBuffer::StrideFor(3, 16), 8);
  EXPECT_EQ(ImageBuffer::StrideFor(7, 32), 28);
  EXPECT_EQ(ImageBuffer::StrideFor(100, 4), 0);
}

TEST(ImageBufferCreate, KeepsRecreatesOrRefusesUnchanged) {
  ImageBuffer image(640, 480, 32);
  PixelAt(image, 10, 20)[1] = 77;
  ASSERT_TRUE(image.Create(640, 480, 32));
  EXPECT_EQ(PixelAt(image, 10, 20)[1], 77);

  const Bytes info = Copy(image.InfoBlock());
  const Bytes pixels = Copy(image.PixelBlock());
  const std::array<std::array<int, 3>, 5> refused = {
      {{0, 10, 32}, {8193, 10, 32}, {10, 8193, 32}, {10, 10, 0}, {10, 10, 64}}};
  for (const auto& [w, h, bits] : refused) {
    EXPECT_FALSE(image.Create(w, h, bits)) << w << "x" << h << "x" << bits;
  }
  EXPECT_EQ(image.Width(), 640);
  EXPECT_EQ(image.BitsPerPixel(), 32);
  EXPECT_EQ(Copy(image.InfoBlock()), info);
  EXPECT_EQ(Copy(image.PixelBlock()), pixels);

  ASSERT_TRUE(image.Create(640, 480, 24));
  EXPECT_EQ(Copy(image.PixelBlock()), Bytes(480 * 1920 + 4, 0));
  EXPECT_TRUE(image.Create(8192, 1, 8));

  // Without a header everything declines.
  ImageBuffer none;
  EXPECT_EQ(none.RowPointer(0), nullptr);
  EXPECT_FALSE(none.CopyTo(image, true));
  EXPECT_FALSE(ImageBuffer(2, 2, 32).StretchTo(none, 0, 0));
  EXPECT_FALSE(none.FlipVertical() || none.AlphaBlur() || none.MakeVideoSafe());
}

TEST(ImageBufferRows, RowAccessAndCopyStayInsideTheBlocks) {
  ImageBuffer image(3, 2, 8);  // stride 4
  const uint8_t row[4] = {1, 2, 3, 4};
  for (const int y : {1, 2, -1}) {
    image.SetRow(y, row);
  }
  EXPECT_EQ(Copy(image.PixelBlock()), (Bytes{0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0}));
  Bytes out(8, 9);
  image.GetRow(1, out.data(), 2);
  image.GetRow(2, out.data(), 8);
  image.GetRow(-1, out.data(), 8);
  EXPECT_EQ(out, (Bytes{1, 2, 9, 9, 9, 9, 9, 9}));

  // Copies, and refuses a destination too small.
  ImageBuffer source(3, 2, 24);
  PixelAt(source, 2, 1)[2] = 200;
  ImageBuffer fresh;
  ASSERT_TRUE(source.CopyTo(fresh, true));
  EXPECT_EQ(fresh.BitsPerPixel(), 24);
  EXPECT_EQ(Copy(fresh.PixelBlock()), Copy(source.PixelBlock()));

  ImageBuffer small(3, 1, 24);
  EXPECT_FALSE(source.CopyTo(small, false));
  EXPECT_EQ(Copy(small.PixelBlock()), Bytes(12 + 4, 0));
}

// A 2 x 2 source of four colours in the given depth, and the colours read.
ImageBuffer TwoByTwo(int bits, std::array<Bytes, 4>& colours) {
  ImageBuffer source(2, 2, bits);
  // Index 3 gets a coloured palette entry, the others keep the grey ramp.
  if (bits == 8) {
    std::memcpy(source.PaletteEntry(3), "\x0A\x14\x1E", 3);
  }
  for (int i = 0; i < 4; ++i) {
    uint8_t* p = PixelAt(source, i % 2, i / 2);
    if (bits == 8) {
      p[0] = std::array<uint8_t, 4>{0, 3, 200, 255}[i];
      colours = {{{0, 0, 0}, {10, 20, 30}, {200, 200, 200}, {255, 255, 255}}};
    } else if (bits == 16) {
      // Red, green, blue, white; a plain shift lets the next field's top bits in.
      const uint16_t word = std::array<uint16_t, 4>{0x7C00, 0x03E0, 0x001F, 0x7FFF}[i];
      p[0] = uint8_t(word);
      p[1] = uint8_t(word >> 8);
      colours = {{{0, 0, 0xF8}, {0, 0xF8, 7}, {0xF8, 7, 0}, {0xF8, 0xFF, 0xFF}}};
    } else {
      colours = {{{1, 2, 3}, {40, 50, 60}, {250, 128, 9}, {255, 255, 255}}};
      std::memcpy(p, colours[i].data(), 3);
      if (bits == 32) {
        p[3] = 255;
      }
    }
  }
  return source;
}

TEST(ImageBufferStretch, EverySourceDepthIntoEveryDestinationDepth) {
  for (const int sourceBits : {8, 16, 24, 32}) {
    for (const int destinationBits : {16, 24, 32}) {
      SCOPED_TRACE(testing::Message() << sourceBits << " -> " << destinationBits);
      std::array<Bytes, 4> colours;
      const ImageBuffer source = TwoByTwo(sourceBits, colours);
      ImageBuffer destination(4, 4, destinationBits);
      std::memset(destination.PixelBlock().data(), 0xEE, destination.PixelBlock().size());
      ASSERT_TRUE(source.StretchTo(destination, 0, 0));
      for (int i = 0; i < 16; ++i) {
        const int x = i % 4;
        const int y = i / 4;
        Bytes want = colours[(y / 2) * 2 + x / 2];
        for (auto& c : want) {
          c &= destinationBits == 16 ? 0xF8 : 0xFF;
        }
        EXPECT_EQ(ColourAt(destination, x, y), want) << x << "," << y;
        if (destinationBits == 32) {
          EXPECT_EQ(PixelAt(destination, x, y)[3], 0);
        }
      }
      EXPECT_EQ(destination.PixelBlock().back(), 0xEE) << "spare bytes are not pixels";
    }
  }
}

TEST(ImageBufferStretch, TruncatedColumnsMarginsAndRefusals) {
  // 3 columns onto 7: trunc(x * 3 / 7) picks 0 0 0 1 1 2 2.
  ImageBuffer source(3, 1, 8);
  std::memcpy(source.RowPointer(0), "\x0A\x14\x1E", 3);
  ImageBuffer wide(7, 1, 24);
  ASSERT_TRUE(source.StretchTo(wide, 0, 0));
  const int picked[7] = {10, 10, 10, 20, 20, 30, 30};
  for (int x = 0; x < 7; ++x) {
    EXPECT_EQ(PixelAt(wide, x, 0)[1], picked[x]) << x;
  }

  // Margins: only the inner area is written.
  std::array<Bytes, 4> colours;
  const ImageBuffer square = TwoByTwo(24, colours);
  ImageBuffer framed(6, 6, 32);
  std::memset(framed.PixelBlock().data(), 0xEE, framed.PixelBlock().size());
  ASSERT_TRUE(square.StretchTo(framed, 1, 1));
  EXPECT_EQ(ColourAt(framed, 4, 4), colours[3]);
  EXPECT_EQ(PixelAt(framed, 4, 4)[3], 0);
  EXPECT_EQ(PixelAt(framed, 5, 4)[3], 0xEE);
  EXPECT_EQ(PixelAt(framed, 1, 0)[3], 0xEE);

  const Bytes before = Copy(framed.PixelBlock());
  EXPECT_FALSE(square.StretchTo(framed, -1, 0));
  EXPECT_FALSE(square.StretchTo(framed, 0, 3));  // nothing left between the margins
  ImageBuffer grey(4, 4, 8);
  EXPECT_FALSE(square.StretchTo(grey, 0, 0));
  EXPECT_FALSE(ImageBuffer(2, 2, 4).StretchTo(framed, 0, 0));
  EXPECT_EQ(Copy(framed.PixelBlock()), before);

  // Onto itself it reads the original.
  ImageBuffer image(4, 4, 32);
  for (int i = 0; i < 16; ++i) {
    PixelAt(image, i % 4, i / 4)[0] = static_cast<uint8_t>(10 * (i / 4) + i % 4);
  }
  ASSERT_TRUE(image.StretchTo(image, 1, 1));
  EXPECT_EQ(PixelAt(image, 2, 1)[0], 2);
  EXPECT_EQ(PixelAt(image, 2, 2)[0], 22);
}

TEST(ImageBufferPixels, FlipAndSwap) {
  for (const int height : {1, 2, 5}) {
    ImageBuffer image(2, height, 24);  // stride 8: the padding travels with its row
    for (int y = 0; y < height; ++y) {
      std::memset(image.RowPointer(y), y + 1, image.Stride());
    }
    ASSERT_TRUE(image.FlipVertical());
    for (int y = 0; y < height; ++y) {
      EXPECT_EQ(image.RowPointer(y)[7], height - y) << height;
    }
  }
  ImageBuffer image(2, 1, 24);
  std::memcpy(image.RowPointer(0), "\1\2\3\4\5\6\7\10", 8);
  ASSERT_TRUE(image.SwapRedBlue());
  EXPECT_EQ(Bytes(image.RowPointer(0), image.RowPointer(0) + 8), (Bytes{3, 2, 1, 6, 5, 4, 7, 8}));
  EXPECT_FALSE(ImageBuffer(2, 1, 16).SwapRedBlue());
}

TEST(ImageBufferPixels, AlphaOperationsNeedThirtyTwoBitsAndBlurInPlace) {
  ImageBuffer packed(3, 3, 24);
  EXPECT_FALSE(packed.SetAlpha(255));
  EXPECT_FALSE(packed.SetBorderAlpha(255));
  EXPECT_FALSE(packed.AlphaBlur());
  EXPECT_EQ(Copy(packed.PixelBlock()), Bytes(3 * 12 + 4, 0));

  ImageBuffer image(4, 3, 32);
  ASSERT_TRUE(image.SetAlpha(200));
  ASSERT_TRUE(image.SetBorderAlpha(7));
  for (int i = 0; i < 12; ++i) {
    const int x = i % 4;
    const int y = i / 4;
    const bool border = x == 0 || x == 3 || y == 0 || y == 2;
    EXPECT_EQ(Copy({PixelAt(image, x, y), 4}), (Bytes{0, 0, 0, uint8_t(border ? 7 : 200)}));
  }
  EXPECT_EQ(image.PixelBlock().back(), 0);

  // The blur works in place from the bottom left.
  image = ImageBuffer(6, 5, 32);
  image.SetAlpha(255);
  ImageBuffer opaque = image;
  ASSERT_TRUE(opaque.AlphaBlur());
  EXPECT_EQ(Copy(opaque.PixelBlock()), Copy(image.PixelBlock())) << "weights sum to 16";

  image.SetBorderAlpha(0);
  PixelAt(image, 3, 2)[3] = 0;
  ASSERT_TRUE(image.AlphaBlur());
  // First centre: row below and column to the left transparent,
  // (4*255 + 2*255 + 2*255 + 255) >> 4 = 143.
  EXPECT_EQ(PixelAt(image, 1, 1)[3], 143);
  // Its right neighbour already sees 143 on its left:
  // (2*143 + 4*255 + 2*255 + 255 + 2*255 + 0 for the hole) >> 4 = 2581 >> 4 = 161.
  EXPECT_EQ(PixelAt(image, 2, 1)[3], 161);
  EXPECT_EQ(PixelAt(image, 3, 2)[3], 0) << "transparent centres stay transparent";
  EXPECT_EQ(PixelAt(image, 0, 2)[3], 0) << "the outer frame is never a centre";
  EXPECT_EQ(PixelAt(image, 5, 4)[3], 0);
}

TEST(ImageBufferPixels, MakeVideoSafe) {
  ImageBuffer legal(2, 2, 32);
  for (int i = 0; i < 4; ++i) {
    std::memcpy(PixelAt(legal, i % 2, i / 2), "\x12\xEA\x64\0", 4);  // 18 234 100, alpha 0
  }
  const Bytes before = Copy(legal.PixelBlock());
  ASSERT_TRUE(legal.MakeVideoSafe());
  EXPECT_EQ(Copy(legal.PixelBlock()), before) << "alpha is not a colour";

  // One black pixel sends every colour byte through (86 c + 1548) / 100;
  // the row padding stays.
  ImageBuffer image(2, 2, 24);
  for (int y = 0; y < 2; ++y) {
    std::memcpy(image.RowPointer(y), "\xFF\x64\x12\xEA\x80\xC8\3\4", 8);
  }
  std::memset(PixelAt(image, 1, 1), 0, 3);
  ASSERT_TRUE(image.MakeVideoSafe());
  EXPECT_EQ(Bytes(image.RowPointer(0), image.RowPointer(0) + 8),
            (Bytes{234, 101, 30, 216, 125, 187, 3, 4}));
  EXPECT_EQ(ColourAt(image, 1, 1), (Bytes{15, 15, 15}));
  EXPECT_FALSE(ImageBuffer(2, 2, 16).MakeVideoSafe());
}

}  // namespace
}  // namespace vantoril

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
  const unsigned w = p[0] | (p[1] << 8);
  return image.BitsPerPixel() != 16 ? Bytes{p[0], p[1], p[2]}
                                    : Bytes{uint8_t((w & 31) << 3), uint8_t(((w >> 5) & 31) << 3),
                                            uint8_t(((w >> 10) & 31) << 3)};
}

TEST(ImageBufferLayout, HeaderPaletteStrideCreateAndRows) {
  ImageBuffer image(5, 3, 8);
  const auto info = image.InfoBlock();
  ASSERT_EQ(info.size(), 40u + 256 * 4);
  const Bytes header = {40, 0, 0, 0, 5,    0, 0, 0, 3,    0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0,
                        0,  0, 0, 0, 0x40, 6, 0, 0, 0x40, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Bytes(info.begin(), info.begin() + 40), header);
  EXPECT_EQ(Bytes(image.PaletteEntry(200), image.PaletteEntry(200) + 4), (Bytes{200, 200, 200, 0}));
  EXPECT_EQ(image.PaletteEntry(256), nullptr);
  EXPECT_EQ(Copy(image.PixelBlock()), Bytes(3 * 8 + 4, 0));
  EXPECT_EQ(image.RowPointer(2), image.PixelBlock().data() + 16);
  EXPECT_EQ(ImageBuffer(4, 4, 2).InfoBlock().size() + ImageBuffer(4, 4, 1).InfoBlock().size(), 96u);
  for (const auto& [width, bits, stride] :
       {std::array{5, 8, 8}, {3, 24, 12}, {3, 16, 8}, {7, 32, 28}, {100, 4, 0}})
    EXPECT_EQ(ImageBuffer::StrideFor(width, bits), stride) << width << "x" << bits;
  // Create keeps the pixels of the same shape, refuses bad ones unchanged.
  image = ImageBuffer(640, 480, 32);
  PixelAt(image, 10, 20)[1] = 77;
  ASSERT_TRUE(image.Create(640, 480, 32));
  EXPECT_EQ(PixelAt(image, 10, 20)[1], 77);
  const Bytes infoBefore = Copy(image.InfoBlock());
  const Bytes pixels = Copy(image.PixelBlock());
  for (const auto& [w, h, bits] :
       {std::array{0, 10, 32}, {8193, 10, 32}, {10, 8193, 32}, {10, 10, 0}, {10, 10, 64}})
    EXPECT_FALSE(image.Create(w, h, bits)) << w << "x" << h << "x" << bits;
  EXPECT_EQ(Copy(image.InfoBlock()), infoBefore);
  EXPECT_EQ(Copy(image.PixelBlock()), pixels);
  ASSERT_TRUE(image.Create(640, 480, 24));
  EXPECT_EQ(Copy(image.PixelBlock()), Bytes(480 * 1920 + 4, 0));
  EXPECT_TRUE(image.Create(8192, 1, 8));
  ImageBuffer none;  // without a header everything declines
  EXPECT_EQ(none.RowPointer(0), nullptr);
  EXPECT_FALSE(none.CopyTo(image, true) || ImageBuffer(2, 2, 32).StretchTo(none, 0, 0));
  EXPECT_FALSE(none.FlipVertical() || none.AlphaBlur() || none.MakeVideoSafe());
  // Row access and copies stay inside the blocks.
  ImageBuffer rows(3, 2, 8);  // stride 4
  for (const int y : {1, 2, -1}) rows.SetRow(y, std::array<uint8_t, 4>{1, 2, 3, 4}.data());
  EXPECT_EQ(Copy(rows.PixelBlock()), (Bytes{0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0}));
  Bytes out(8, 9);
  rows.GetRow(1, out.data(), 2);
  rows.GetRow(2, out.data(), 8);
  rows.GetRow(-1, out.data(), 8);
  EXPECT_EQ(out, (Bytes{1, 2, 9, 9, 9, 9, 9, 9}));
  ImageBuffer source(3, 2, 24);  // copies, and refuses a destination too small
  PixelAt(source, 2, 1)[2] = 200;
  ImageBuffer fresh;
  ImageBuffer small(3, 1, 24);
  ASSERT_TRUE(source.CopyTo(fresh, true));
  EXPECT_EQ(Copy(fresh.InfoBlock()), Copy(source.InfoBlock()));
  EXPECT_EQ(Copy(fresh.PixelBlock()), Copy(source.PixelBlock()));
  EXPECT_FALSE(source.CopyTo(small, false));
  EXPECT_EQ(Copy(small.PixelBlock()), Bytes(12 + 4, 0));
}

// 2 x 2 sources: the raw bytes of each pixel and the colours they stand for.
// Palette index 3 is coloured, the others keep the grey ramp; from 16 bits a
// plain shift lets the next field's top bits in.
struct Depth {
  int bits;
  std::array<Bytes, 4> raw;
  std::array<Bytes, 4> colours;
};
const std::array<Bytes, 4> kColours = {{{1, 2, 3}, {40, 50, 60}, {250, 128, 9}, {255, 255, 255}}};
const Depth kDepths[] = {
    {8, {{{0}, {3}, {200}, {255}}}, {{{0, 0, 0}, {10, 20, 30}, {200, 200, 200}, {255, 255, 255}}}},
    {16,
     {{{0x00, 0x7C}, {0xE0, 0x03}, {0x1F, 0}, {0xFF, 0x7F}}},
     {{{0, 0, 0xF8}, {0, 0xF8, 7}, {0xF8, 7, 0}, {0xF8, 0xFF, 0xFF}}}},
    {24, kColours, kColours},
    {32, kColours, kColours}};  // opaque

ImageBuffer TwoByTwo(const Depth& depth) {
  ImageBuffer source(2, 2, depth.bits);
  if (depth.bits == 8) std::memcpy(source.PaletteEntry(3), "\x0A\x14\x1E", 3);
  for (int i = 0; i < 4; ++i) {
    uint8_t* p = PixelAt(source, i % 2, i / 2);
    std::memcpy(p, depth.raw[i].data(), depth.raw[i].size());
    if (depth.bits == 32) p[3] = 255;
  }
  return source;
}

TEST(ImageBufferStretch, EverySourceDepthIntoEveryDestinationDepthBetweenMargins) {
  // 2 columns onto the 7 between margins of 1: trunc(x * 2 / 7) picks 0 0 0 0
  // 1 1 1. The margins and the spare bytes stay; 32 bits get alpha 0.
  for (const Depth& depth : kDepths) {
    for (const int destinationBits : {16, 24, 32}) {
      SCOPED_TRACE(testing::Message() << depth.bits << " -> " << destinationBits);
      ImageBuffer destination(9, 6, destinationBits);
      std::memset(destination.PixelBlock().data(), 0xEE, destination.PixelBlock().size());
      ASSERT_TRUE(TwoByTwo(depth).StretchTo(destination, 1, 1));
      for (int i = 0; i < 9 * 6; ++i) {
        const int x = i % 9 - 1;
        const int y = i / 9 - 1;
        const uint8_t* p = PixelAt(destination, x + 1, y + 1);
        if (x < 0 || x >= 7 || y < 0 || y >= 4) {
          EXPECT_EQ(p[0], 0xEE) << x << "," << y;
          continue;
        }
        Bytes want = depth.colours[(y / 2) * 2 + x * 2 / 7];
        for (auto& c : want) c &= destinationBits == 16 ? 0xF8 : 0xFF;
        EXPECT_EQ(ColourAt(destination, x + 1, y + 1), want) << x << "," << y;
        EXPECT_TRUE(destinationBits != 32 || p[3] == 0);
      }
      EXPECT_EQ(destination.PixelBlock().back(), 0xEE) << "spare bytes are not pixels";
    }
  }
  // Refusals leave the destination.
  const ImageBuffer square = TwoByTwo(kDepths[2]);
  ImageBuffer framed(6, 6, 32);
  const Bytes before = Copy(framed.PixelBlock());
  ImageBuffer grey(4, 4, 8);
  EXPECT_FALSE(square.StretchTo(framed, -1, 0) || square.StretchTo(framed, 0, 3) ||
               square.StretchTo(grey, 0, 0) || ImageBuffer(2, 2, 4).StretchTo(framed, 0, 0));
  EXPECT_EQ(Copy(framed.PixelBlock()), before);
  // Onto itself it reads the original.
  ImageBuffer image(4, 4, 32);
  for (int i = 0; i < 16; ++i) PixelAt(image, i % 4, i / 4)[0] = uint8_t(10 * (i / 4) + i % 4);
  ASSERT_TRUE(image.StretchTo(image, 1, 1));
  EXPECT_EQ((Bytes{PixelAt(image, 2, 1)[0], PixelAt(image, 2, 2)[0]}), (Bytes{2, 22}));
}

TEST(ImageBufferPixels, FlipSwapVideoSafeAndAlpha) {
  for (const int height : {1, 2, 5}) {
    ImageBuffer image(2, height, 24);  // stride 8: the padding travels with its row
    for (int y = 0; y < height; ++y) std::memset(image.RowPointer(y), y + 1, image.Stride());
    ASSERT_TRUE(image.FlipVertical());
    for (int y = 0; y < height; ++y) EXPECT_EQ(image.RowPointer(y)[7], height - y) << height;
  }
  ImageBuffer swapped(2, 1, 24);
  std::memcpy(swapped.RowPointer(0), "\1\2\3\4\5\6\7\10", 8);
  ASSERT_TRUE(swapped.SwapRedBlue());
  EXPECT_EQ(Copy({swapped.RowPointer(0), 8}), (Bytes{3, 2, 1, 6, 5, 4, 7, 8}));
  // Legal colours stay, alpha is not a colour; one black pixel sends every
  // colour byte through (86 c + 1548) / 100, and the row padding stays.
  ImageBuffer legal(2, 2, 32);
  for (int i = 0; i < 4; ++i) std::memcpy(PixelAt(legal, i % 2, i / 2), "\x12\xEA\x64\0", 4);
  const Bytes before = Copy(legal.PixelBlock());
  ASSERT_TRUE(legal.MakeVideoSafe());
  EXPECT_EQ(Copy(legal.PixelBlock()), before);
  ImageBuffer video(2, 2, 24);
  for (int y = 0; y < 2; ++y) std::memcpy(video.RowPointer(y), "\xFF\x64\x12\xEA\x80\xC8\3\4", 8);
  std::memset(PixelAt(video, 1, 1), 0, 3);
  ASSERT_TRUE(video.MakeVideoSafe());
  EXPECT_EQ(Copy({video.RowPointer(0), 8}), (Bytes{234, 101, 30, 216, 125, 187, 3, 4}));
  EXPECT_EQ(ColourAt(video, 1, 1), (Bytes{15, 15, 15}));
  EXPECT_FALSE(ImageBuffer(2, 1, 16).SwapRedBlue() || ImageBuffer(2, 2, 16).MakeVideoSafe());

  // The alpha operations need 32 bits; the blur works in place.
  ImageBuffer packed(3, 3, 24);
  EXPECT_FALSE(packed.SetAlpha(255) || packed.SetBorderAlpha(255) || packed.AlphaBlur());
  EXPECT_EQ(Copy(packed.PixelBlock()), Bytes(3 * 12 + 4, 0));
  ImageBuffer image(4, 3, 32);
  ASSERT_TRUE(image.SetAlpha(200) && image.SetBorderAlpha(7));
  for (int i = 0; i < 12; ++i) {
    const bool border = i % 4 == 0 || i % 4 == 3 || i / 4 == 0 || i / 4 == 2;
    EXPECT_EQ(Copy({PixelAt(image, i % 4, i / 4), 4}), (Bytes{0, 0, 0, uint8_t(border ? 7 : 200)}));
  }
  EXPECT_EQ(image.PixelBlock().back(), 0);
  // Weights sum to 16, so an opaque image stays; the blur works in place
  // from the bottom left. First centre, with the row below and the column to
  // its left transparent: (4*255 + 2*255 + 2*255 + 255) >> 4 = 143; its right
  // neighbour already sees 143: (2*143 + 9*255 + 0 for the hole) >> 4 = 161.
  image = ImageBuffer(6, 5, 32);
  image.SetAlpha(255);
  ImageBuffer opaque = image;
  ASSERT_TRUE(opaque.AlphaBlur());
  EXPECT_EQ(Copy(opaque.PixelBlock()), Copy(image.PixelBlock()));
  image.SetBorderAlpha(0);
  PixelAt(image, 3, 2)[3] = 0;
  ASSERT_TRUE(image.AlphaBlur());
  // Transparent centres stay transparent; the outer frame is never a centre.
  const Bytes alphas = {PixelAt(image, 1, 1)[3], PixelAt(image, 2, 1)[3], PixelAt(image, 3, 2)[3],
                        PixelAt(image, 0, 2)[3], PixelAt(image, 5, 4)[3]};
  EXPECT_EQ(alphas, (Bytes{143, 161, 0, 0, 0}));
}

}  // namespace
}  // namespace vantoril

#include "engine/draw_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/box_average.h"
#include "support/frame_fixtures.h"

namespace vantoril {
namespace {

using testing::Bgra;
using testing::PictureState;
using testing::PixelAt;
using testing::SetPixel;
using testing::SolidImage;

constexpr Bgra kFrameColour = {100, 150, 200, 7};
constexpr Bgra kOpaque = {10, 20, 30, 255};

bool SameImage(const ImageBuffer& a, const ImageBuffer& b) {
  return std::ranges::equal(a.PixelBlock(), b.PixelBlock());
}

TEST(DrawPictureBrushes, PinnedColoursPerBrushAndLevel) {
  const uint32_t tint = 153 | (102 << 8) | (51 << 16);
  // Brush, level, frame, picture colour, the centre pixel painted.
  const std::tuple<Brush, float, Bgra, Bgra, Bgra> cases[] = {
      // Normal, level 0: alpha (255 * 255) >> 8 = 254, so 100 over black gives 99.
      {Brush::kNormal, 0, {0, 0, 0, 0}, {100, 100, 100, 255}, {99, 99, 99, 255}},
      // Normal, level 100: the picture is gone but the >> 8 blend costs a step.
      {Brush::kNormal, 100, kFrameColour, kOpaque, {99, 149, 199, 255}},
      {Brush::kDarken, 50, kFrameColour, kOpaque, {50, 75, 100, 7}},
      {Brush::kLighten, 50, kFrameColour, kOpaque, {226, 231, 231, 7}},
      {Brush::kNoColour, 50, kFrameColour, kOpaque, {128, 153, 179, 7}},
      {Brush::kTint, 50, kFrameColour, kOpaque, {65, 106, 147, 7}},
      {Brush::kDarken, 100, kFrameColour, kOpaque, {0, 0, 0, 7}},
      {Brush::kLighten, 100, {0, 0, 0, 0}, kOpaque, {231, 231, 231, 0}},
      {BrushOfCode(7000), 50, kFrameColour, kOpaque,
       kFrameColour},  // unknown brushes paint nothing
      // Pixelate level 10: one-pixel blocks; level 5: R16 = 0, nothing at all.
      {Brush::kPixelate, 10, kFrameColour, kOpaque, {99, 149, 199, 7}},
      {Brush::kPixelate, 5, kFrameColour, kOpaque, kFrameColour},
      // Levels outside 0 .. 100 are limited to it.
      {Brush::kDarken, 180, kFrameColour, kOpaque, {0, 0, 0, 7}},
      {Brush::kLighten, -40, kFrameColour, kOpaque, {99, 149, 199, 7}},
      {Brush::kNormal, 1e30f, kFrameColour, kOpaque, {99, 149, 199, 255}},
  };
  for (const auto& [brush, level, frame, source, expected] : cases) {
    // An 8 x 8 picture shown 16 x 16 in the middle of a 32 x 32 stage.
    ImageBuffer destination = SolidImage(32, 32, frame);
    EXPECT_TRUE(DrawPicture(SolidImage(8, 8, source), destination,
                            PictureState(16, 16, 16, 16, 0, level), brush, tint, kAllRows, 32, 32));
    EXPECT_EQ(PixelAt(destination, 16, 16), expected) << BrushCode(brush) << " at " << level;
  }
}

TEST(DrawPictureBrushes, PixelateBlocksFollowTheLevel) {
  // Level 100: 22-pixel blocks on the destination grid, each taking its
  // corner pixel as already treated.
  ImageBuffer destination(88, 88, 32);
  for (int i = 0; i < 88 * 88; ++i)
    SetPixel(destination, i % 88, i / 88, {uint8_t(i % 88 + 1), uint8_t(i / 88 + 1), 9, 0});
  ASSERT_TRUE(DrawPicture(SolidImage(88, 88, kOpaque), destination,
                          PictureState(44, 44, 88, 88, 0, 100), Brush::kPixelate, 0, kAllRows, 88,
                          88));
  for (int i = 0; i < 88 * 88; ++i) {
    const int x = i % 88;
    const int r = i / 88;
    const int once = ((x - x % 22 + 1) * 255) >> 8;
    ASSERT_EQ(PixelAt(destination, x, r)[0], x % 22 || r % 22 ? (once * 255) >> 8 : once) << i;
  }
}

TEST(DrawPictureBlur, WindowAroundColumn4Row4AndBoxAverageEdges) {
  // The picture's visited range starts at column 4, row 4, so that pixel is
  // the first one treated and sees the frame untouched. Level 20: R16 = 3,
  // window columns 1..6 and rows 1..6.
  ImageBuffer destination(16, 16, 32);
  int sum = 0;
  for (int i = 0; i < 256; ++i) {
    const int x = i % 16;
    const int r = i / 16;
    const uint8_t value = static_cast<uint8_t>((x * 37 + r * 11) % 251);
    SetPixel(destination, x, r, {value, 0, 0, 0});
    sum += x >= 1 && x <= 6 && r >= 1 && r <= 6 ? value : 0;
  }
  // (The ways of working below pin the running sums to the direct ones.)
  ImageBuffer frame = destination;
  ASSERT_TRUE(DrawPicture(SolidImage(8, 8, kOpaque), frame, PictureState(8, 8, 8, 8, 0, 20),
                          Brush::kBlur, 0, kAllRows, 16, 16));
  EXPECT_EQ(PixelAt(frame, 4, 4)[0], ((sum / 36) * 255) >> 8);
  EXPECT_EQ(PixelAt(frame, 3, 4), PixelAt(destination, 3, 4));

  ImageBuffer image = SolidImage(4, 3, {0, 0, 0, 0});
  SetPixel(image, 0, 0, {40, 80, 120, 0});
  SetPixel(image, 1, 0, {20, 0, 0, 0});
  uint8_t b = 1, g = 2, r = 3;
  // Left and top below 0 start at 0; the integer division truncates.
  ASSERT_TRUE(BoxAverage(image, -5, -2, 2, 1, b, g, r));
  EXPECT_EQ((Bgra{b, g, r, 0}), (Bgra{30, 40, 60, 0}));
  EXPECT_TRUE(BoxAverage(image, 0, 0, 3, 2, b, g, r) && b == 10);
  // An empty window leaves the preset colour; so does a depth other than 32.
  b = 7;
  EXPECT_FALSE(BoxAverage(image, 2, 0, 2, 3, b, g, r) ||
               BoxAverage(ImageBuffer(4, 3, 24), 0, 0, 2, 2, b, g, r));
  EXPECT_EQ(b, 7);
  // Ends past the image are cut at its edge instead of reading beyond it.
  EXPECT_TRUE(BoxAverage(image, 0, 0, 400, 300, b, g, r) && b == 60 / 12);
}

TEST(DrawPictureRows, FieldBuffersTakeEveryOtherDisplayRow) {
  // A stripe picture at 1:1 over the whole stage: odd source rows 200, even 0.
  ImageBuffer stripes(640, 480, 32);
  for (int i = 0; i < 640 * 480; ++i) {
    const uint8_t v = (i / 640) % 2 ? 200 : 0;
    SetPixel(stripes, i % 640, i / 640, {v, v, v, 255});
  }
  const KeyFrame full = PictureState(320, 240, 640, 480);
  // The odd rows fill buffer row b from display row 2b + 1, the even ones from
  // 2b. The last row and column sit at the far edge of the inside test, where
  // the bilinear taps must not leave the picture.
  ImageBuffer odd(640, 240, 32);
  ImageBuffer even(640, 240, 32);
  ASSERT_TRUE(DrawPicture(stripes, odd, full, Brush::kNormal, 0, kFieldBufferOddRows, 640, 480) &&
              DrawPicture(stripes, even, full, Brush::kNormal, 0, kFieldBufferEvenRows, 640, 480));
  for (int b = 0; b < 240; ++b) {
    ASSERT_EQ(PixelAt(odd, 639, b), (Bgra{198, 198, 198, 255})) << b;
    ASSERT_EQ(PixelAt(even, 639, b), (Bgra{0, 0, 0, 255})) << b;
  }
}

TEST(DrawPictureGeometry, TurnsShrinksAndScalesToTheDestination) {
  // A quarter turn: source column i has blue 20 + 30 i, row j green 20 + 50 j.
  ImageBuffer picture(8, 4, 32);
  for (int i = 0; i < 32; ++i)
    SetPixel(picture, i % 8, i / 8,
             {uint8_t(20 + 30 * (i % 8)), uint8_t(20 + 50 * (i / 8)), 0, 255});
  ImageBuffer frame(32, 32, 32);
  ASSERT_TRUE(DrawPicture(picture, frame, PictureState(16, 16, 8, 4, 90, 0), Brush::kNormal, 0,
                          kAllRows, 32, 32));
  int painted = 0;
  for (int i = 0; i < 32 * 32; ++i) {
    const int x = i % 32;
    const int r = i / 32;
    if (PixelAt(frame, x, r)[3] == 0) continue;
    ++painted;
    // The turned picture covers columns 15..18 and rows 12..19: its first
    // column along the top edge, its first row along the right edge.
    ASSERT_TRUE(x >= 15 && x <= 18 && r >= 12 && r <= 19) << x << "," << r;
    EXPECT_NEAR(PixelAt(frame, x, r)[0], ((20 + 30 * (r - 12)) * 254) >> 8, 2) << x << "," << r;
    EXPECT_NEAR(PixelAt(frame, x, r)[1], ((20 + 50 * (18 - x)) * 254) >> 8, 2) << x << "," << r;
  }
  EXPECT_GE(painted, 3 * 7);

  // Shrunk 4.5 times vertically, the bilinear taps of a row lie two source
  // rows apart: the rows sampled are pinned.
  ImageBuffer tall(4, 36, 32);
  for (int i = 0; i < 4 * 36; ++i)
    SetPixel(tall, i % 4, i / 4, {0, uint8_t(i / 4 * (i / 4) / 5), 0, 255});
  ImageBuffer strip = SolidImage(4, 8, {0, 0, 0, 0});
  ASSERT_TRUE(
      DrawPicture(tall, strip, PictureState(2, 4, 4, 8), Brush::kNormal, 0, kAllRows, 4, 8));
  std::vector<int> greens;
  for (int r = 0; r < 8; ++r) greens.push_back(PixelAt(strip, 1, r)[1]);
  EXPECT_EQ(greens, (std::vector<int>{0, 4, 15, 38, 63, 104, 143, 202}));

  // Negative sizes mirror: the top-left shows the source's bottom-right, and
  // everything is read inside the source (the sanitizer build watches).
  ImageBuffer ramp(8, 8, 32);
  for (int i = 0; i < 64; ++i)
    SetPixel(ramp, i % 8, i / 8, {uint8_t(30 * (i % 8)), uint8_t(30 * (i / 8)), 0, 255});
  ImageBuffer mirrored(32, 32, 32);
  ASSERT_TRUE(DrawPicture(ramp, mirrored, PictureState(16, 16, -16, -16, 0, 0), Brush::kNormal, 0,
                          kAllRows, 32, 32));
  const Bgra corner = PixelAt(mirrored, 10, 10);
  EXPECT_TRUE(corner[3] == 255 && corner[0] >= (180 * 254) >> 8 && corner[1] >= (180 * 254) >> 8);

  // The left half of a 640 x 480 stage onto a 320 x 240 destination.
  ImageBuffer half(320, 240, 32);
  ASSERT_TRUE(DrawPicture(SolidImage(64, 64, kOpaque), half, PictureState(160, 240, 320, 480),
                          Brush::kNormal, 0, kAllRows, 640, 480));
  EXPECT_EQ(
      (Bgra{PixelAt(half, 5, 5)[3], PixelAt(half, 150, 230)[3], PixelAt(half, 170, 120)[3], 0}),
      (Bgra{255, 255, 0, 0}));
}

TEST(DrawPictureFaults, ShapesWithoutSizeOrNumberPaintNothing) {
  ImageBuffer picture = SolidImage(8, 8, kOpaque);
  const ImageBuffer untouched = SolidImage(64, 48, kFrameColour);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const KeyFrame good = PictureState(32, 24, 20, 20, 10, 30);
  // Off the stage, near and very far; and sizes so small that a destination
  // pixel spans more than the whole source.
  std::vector<KeyFrame> bad = {PictureState(-500, 24, 20, 20), PictureState(1e30f, -1e30f, 20, 20),
                               PictureState(32, 24, 1e-30f, 20), PictureState(32, 24, 20, -1e-38f)};
  for (float KeyFrame::*field : {&KeyFrame::width, &KeyFrame::height, &KeyFrame::x, &KeyFrame::y,
                                 &KeyFrame::rotation, &KeyFrame::level}) {
    const bool size = field == &KeyFrame::width || field == &KeyFrame::height;
    for (float value : {0.0f, -0.0f, nan, inf, -inf}) {
      if (value != 0.0f || size) {
        bad.push_back(good);
        bad.back().*field = value;
      }
    }
  }
  for (Brush brush : {Brush::kNormal, Brush::kBlur, Brush::kPixelate, Brush::kDarken,
                      Brush::kLighten, Brush::kTint, Brush::kNoColour}) {
    for (const KeyFrame& state : bad) {
      ImageBuffer frame = untouched;
      EXPECT_TRUE(DrawPicture(picture, frame, state, brush, 255, kAllRows, 64, 48));
      EXPECT_TRUE(SameImage(frame, untouched)) << BrushCode(brush) << " " << &state - bad.data();
    }
  }
  // Neither does a stage without size, nor a draw mode out of its ranges.
  ImageBuffer frame = untouched;
  EXPECT_TRUE(DrawPicture(picture, frame, good, Brush::kNormal, 255, kAllRows, 0, 48) &&
              DrawPicture(picture, frame, good, Brush::kNormal, 255, DrawMode{1, 1, -1}, 64, 48) &&
              DrawPicture(picture, frame, good, Brush::kNormal, 255, DrawMode{11, 1, 0}, 64, 48));
  EXPECT_TRUE(SameImage(frame, untouched));

  // Buffers without a header or with three bytes a pixel (which would be
  // written four at a time) are refused.
  ImageBuffer none;
  ImageBuffer rgb(16, 16, 24);
  const KeyFrame state = PictureState(8, 8, 8, 8);
  for (auto [source, destination] :
       {std::pair{&none, &frame}, {&picture, &none}, {&picture, &rgb}, {&rgb, &frame}}) {
    EXPECT_FALSE(DrawPicture(*source, *destination, state, Brush::kNormal, 0, kAllRows, 16, 16));
  }
}

// Every way of working paints what the plain one does, on random pictures
// (sizes, turns, levels, draw modes, destination sizes, alpha and none): the
// rows split over two threads, the whole bounding box instead of the row
// spans, the blur as direct window sums, and the vector path on every
// instruction set this processor runs.
TEST(DrawPictureWaysOfWorking, PaintWhatThePlainPathPaints) {
  const DrawPictureOptions plainWay{{}, PaintThreads::kSingle, true, VectorPath::kScalar};
  std::vector<std::pair<const char*, DrawPictureOptions>> ways = {
      {"split", {{}, PaintThreads::kSplit, true, VectorPath::kScalar}},
      {"whole box", {{}, PaintThreads::kSingle, false, VectorPath::kScalar}},
      {"direct blur", {BlurMethod::kDirect, PaintThreads::kSingle, true, VectorPath::kScalar}}};
  for (const auto& [has, name, path] :
       {std::tuple{ProcessorHasAvx2(), "avx2", VectorPath::kAvx2},
        std::tuple{ProcessorHasAvx512(), "avx512", VectorPath::kAvx512}}) {
    if (has) ways.push_back({name, {{}, PaintThreads::kSingle, true, path}});
  }
  static constexpr Brush kBrushes[] = {Brush::kNormal,  Brush::kBlur,    Brush::kPixelate,
                                       Brush::kDarken,  Brush::kLighten, Brush::kTint,
                                       Brush::kNoColour};
  // The last mode paints two display rows into each buffer row.
  static constexpr DrawMode kDrawModes[] = {kAllRows,
                                            kOddRowsOfFrame,
                                            kEvenRowsOfFrame,
                                            kFieldBufferOddRows,
                                            kFieldBufferEvenRows,
                                            DrawMode{2, 1, 0}};
  std::mt19937 random(77);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  auto real = [&](double lo, double hi) {
    return static_cast<float>(std::uniform_real_distribution<double>(lo, hi)(random));
  };
  auto size = [&] {
    const float s = real(2, 90);
    return uniform(0, 9) == 0 ? -s : s;
  };
  const auto randomImage = [&](int width, int height) {
    ImageBuffer image(width, height, 32);
    for (uint8_t& byte : image.PixelBlock()) byte = static_cast<uint8_t>(uniform(0, 255));
    return image;
  };
  int changed = 0;
  // Shows 0 .. 1199 take any place, size and turn; the rest lie on whole,
  // half and quarter pixels at whole and simple scales and quarter turns,
  // where the bilinear weights repeat and many values come out whole.
  for (int n = 0; n < 1600; ++n) {
    const bool aligned = n >= 1200;
    const DrawMode drawMode = kDrawModes[uniform(0, 5)];
    const int stageW = uniform(8, 120);
    const int stageH = uniform(8, 100);
    ImageBuffer frame =
        randomImage(aligned ? stageW : uniform(2, 140),
                    std::max(1, (aligned ? stageH : uniform(2, 120)) / drawMode.fieldDiv));
    ImageBuffer picture = randomImage(uniform(1, 40), uniform(1, 40));
    if (n % 2 == 0) picture.SetAlpha(255);
    if (n % 4 == 1) {
      // Alphas that change down the picture only, or across it only.
      const bool down = n % 8 == 1;
      for (int y = 0; y < picture.Height(); ++y) {
        uint8_t* row = picture.RowPointer(y);
        for (int x = 0; x < picture.Width(); ++x)
          row[4 * x + 3] = static_cast<uint8_t>(29 * (down ? y : x));
      }
    }
    KeyFrame state = PictureState(real(-20, stageW + 20.0), real(-20, stageH + 20.0), size(),
                                  size(), real(-360, 360), real(-10, 110));
    if (aligned) {
      static constexpr float kFractions[] = {0, 0.25f, 0.5f, 0.75f, 1 / 3.0f};
      static constexpr float kScales[] = {1, 2, 0.5f, 1.5f, 0.75f, 3, 4};
      state.x = static_cast<float>(uniform(-5, stageW + 5)) + kFractions[uniform(0, 4)];
      state.y = static_cast<float>(uniform(-5, stageH + 5)) + kFractions[uniform(0, 4)];
      state.width = static_cast<float>(picture.Width()) * kScales[uniform(0, 6)];
      state.height = static_cast<float>(picture.Height()) * kScales[uniform(0, 6)];
      state.rotation = 90.0f * static_cast<float>(uniform(-1, 2)) * (n % 3 == 0 ? 0 : 1);
    }
    const Brush brush = kBrushes[n % std::size(kBrushes)];
    const auto paint = [&](const DrawPictureOptions& options) {
      ImageBuffer painted = frame;
      EXPECT_TRUE(DrawPictureWith(picture, painted, state, brush, 0x336699, drawMode, stageW,
                                  stageH, options));
      return painted;
    };
    const ImageBuffer plain = paint(plainWay);
    changed += SameImage(plain, frame) ? 0 : 1;
    for (const auto& [name, options] : ways) {
      ASSERT_TRUE(SameImage(plain, paint(options)))
          << "show " << n << " brush " << BrushCode(brush) << " " << name;
    }
  }
  EXPECT_GT(changed, 1000);
}

// The vector paths may work a bilinear value out in single precision only
// where it lies far enough from a whole number; values just beside one are
// rare, so this paints over a million pixels with the normal brush and
// random weights, enough to meet some.
TEST(DrawPictureWaysOfWorking, NormalBrushBesideWholeNumbers) {
  std::vector<std::pair<const char*, VectorPath>> paths;
  if (ProcessorHasAvx2()) paths.emplace_back("avx2", VectorPath::kAvx2);
  if (ProcessorHasAvx512()) paths.emplace_back("avx512", VectorPath::kAvx512);
  std::mt19937 random(5);
  ImageBuffer picture(200, 150, 32);
  for (uint8_t& byte : picture.PixelBlock()) byte = static_cast<uint8_t>(random());
  const ImageBuffer frame(320, 240, 32);
  for (int n = 0; n < 16; ++n) {
    const float turn = std::uniform_real_distribution<float>(-180, 180)(random);
    const KeyFrame state = PictureState(160, 120, 320 * 1.1f, 240 * 1.1f, turn, 0);
    const auto paint = [&](VectorPath path) {
      ImageBuffer painted = frame;
      EXPECT_TRUE(DrawPictureWith(picture, painted, state, Brush::kNormal, 0, kAllRows, 320, 240,
                                  {{}, PaintThreads::kSingle, true, path}));
      return painted;
    };
    const ImageBuffer plain = paint(VectorPath::kScalar);
    for (const auto& [name, path] : paths) {
      EXPECT_TRUE(SameImage(plain, paint(path))) << name << ", turn " << turn;
    }
  }
}

}  // namespace
}  // namespace vantoril

#include "output/codec_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace vantoril {
namespace {

TEST(CodecTableTest, FindsCodesPerContainer) {
  ASSERT_NE(FindCodec(MovieContainer::kAvi, ""), nullptr);
  EXPECT_EQ(FindCodec(MovieContainer::kAvi, "")->encoder, "rawvideo");
  EXPECT_EQ(FindCodec(MovieContainer::kAvi, "DIB "), FindCodec(MovieContainer::kAvi, ""));
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "")->fourcc, "rle ");
  // The settings store may lose a trailing space; a shorter text still names it.
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "rle"),
            FindCodec(MovieContainer::kQuickTime, "rle "));
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, std::string("png\0", 4))->encoder, "png");
  EXPECT_EQ(FindCodec(MovieContainer::kAvi, "apch"), nullptr);
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "MJPG"), nullptr);
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "apch")->profile, "hq");
  EXPECT_EQ(FindCodec(MovieContainer::kQuickTime, "ap4h")->profile, "4444");
}

TEST(CodecTableTest, EveryEntryIsUsable) {
  std::set<std::pair<int, std::string>> seen;
  for (const CodecEntry& entry : CodecTable()) {
    EXPECT_EQ(entry.fourcc.size(), 4u);
    EXPECT_TRUE(seen.insert({static_cast<int>(entry.container), std::string(entry.fourcc)}).second)
        << entry.fourcc << " twice";
    EXPECT_EQ(entry.lossless, entry.quality == QualityControl::kNone) << entry.fourcc;
  }
  // What Debian's FFmpeg always has.
  for (const char* code : {"DIB ", "MJPG", "FFV1", "HFYU"}) {
    EXPECT_TRUE(EncoderAvailable(*FindCodec(MovieContainer::kAvi, code))) << code;
  }
  for (const char* code : {"rle ", "png ", "jpeg", "apch", "ap4h"}) {
    EXPECT_TRUE(EncoderAvailable(*FindCodec(MovieContainer::kQuickTime, code))) << code;
  }
  EXPECT_GE(AvailableCodecs(MovieContainer::kQuickTime).size(), 5u);
}

TEST(CodecTableTest, QualityLevelsAndEncoderValues) {
  for (auto [quality, level] :
       {std::pair{0, 0}, {19, 0}, {20, 1}, {59, 2}, {79, 3}, {80, 4}, {100, 4}}) {
    EXPECT_EQ(QualityLevel(quality), level) << quality;
  }
  // Better quality never asks for a coarser quantiser or a higher rate factor.
  for (QualityControl control :
       {QualityControl::kJpegQscale, QualityControl::kCrf, QualityControl::kProResQuant}) {
    for (int q = 1; q <= 100; ++q) {
      EXPECT_LE(EncoderQualityValue(control, q), EncoderQualityValue(control, q - 1));
    }
    EXPECT_GT(EncoderQualityValue(control, 100), 0);
  }
  EXPECT_EQ(EncoderQualityValue(QualityControl::kNone, 50), 0);
}

}  // namespace
}  // namespace vantoril

#include "engine/timecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vantoril {
namespace {

constexpr int32_t kNtsc = 2997;
constexpr int32_t kPal = 2500;
constexpr int32_t kThirty = 3000;

TEST(FormatTimecodeTest, WholeRatesSplitIntoFields) {
  EXPECT_EQ(FormatTimecode(1800, false, kThirty), "00:01:00:00");
  EXPECT_EQ(FormatTimecode(1800, true, kThirty), "01:00:00");
  EXPECT_EQ(FormatTimecode(111694, false, kThirty), "01:02:03:04");
  EXPECT_EQ(FormatTimecode(111694, true, kThirty), "02:03:04");
  EXPECT_EQ(FormatTimecode(0, true, kThirty), "00:00:00");
  EXPECT_EQ(FormatTimecode(24, false, kPal), "00:00:00:24");
  EXPECT_EQ(FormatTimecode(25 * 61 + 3, true, kPal), "01:01:03");
}

TEST(FormatTimecodeTest, NtscCountsAMinuteAs1798Frames) {
  EXPECT_EQ(FormatTimecode(1798, false, kNtsc), "00:01:00:00");
  EXPECT_EQ(FormatTimecode(1797, false, kNtsc), "00:00:59:27");
  EXPECT_EQ(FormatTimecode(107892, false, kNtsc), "01:00:00:00");
  EXPECT_EQ(FormatTimecode(30, true, kNtsc), "00:01:00");
}

TEST(FormatTimecodeTest, NegativeFramesUseADotAndHoursWrapAtTwelve) {
  EXPECT_EQ(FormatTimecode(-45, false, kThirty), "00:00:01.15");
  EXPECT_EQ(FormatTimecode(-45, true, kThirty), "00:01.15");
  EXPECT_EQ(FormatTimecode(13 * 3600 * 25, false, kPal), "01:00:00:00");
  // The most negative frame number must not overflow on negation.
  EXPECT_EQ(FormatTimecode(std::numeric_limits<int32_t>::min(), false, kThirty).size(), 11u);
}

TEST(ParseTimecodeTest, FieldsAreReadFromTheEnd) {
  int32_t value = 999;
  EXPECT_TRUE(ParseTimecode(value, "1:00", kThirty));
  EXPECT_EQ(value, 30);
  EXPECT_TRUE(ParseTimecode(value, "01:02:03:04", kThirty));
  EXPECT_EQ(value, 111694);
  EXPECT_TRUE(ParseTimecode(value, "01:00:00", kPal));
  EXPECT_EQ(value, 1500);
  // Any separator works; a fifth field is ignored.
  EXPECT_TRUE(ParseTimecode(value, "9 1 1 1 1", kPal));
  EXPECT_EQ(value, 91526);
  // Three digits in a row make two fields: "123" is second 1, frame 23.
  EXPECT_TRUE(ParseTimecode(value, "123", kThirty));
  EXPECT_EQ(value, 53);
}

TEST(ParseTimecodeTest, NtscUsesTheRoundedRate) {
  int32_t value = 0;
  EXPECT_TRUE(ParseTimecode(value, "01:00:00", kNtsc));
  EXPECT_EQ(value, 1800);
  // What the formatter writes for 1798 reads back as 1800 at 29.97.
  EXPECT_TRUE(ParseTimecode(value, FormatTimecode(1798, true, kNtsc), kNtsc));
  EXPECT_EQ(value, 1800);
}

TEST(ParseTimecodeTest, SignsAndTextWithoutDigits) {
  int32_t value = 100;
  EXPECT_TRUE(ParseTimecode(value, "+10", kThirty));
  EXPECT_EQ(value, 110);
  value = 100;
  EXPECT_TRUE(ParseTimecode(value, "-10", kThirty));
  EXPECT_EQ(value, 90);
  value = 100;
  EXPECT_FALSE(ParseTimecode(value, "abc:", kThirty));
  EXPECT_EQ(value, 100);
  EXPECT_FALSE(ParseTimecode(value, "", kThirty));
  EXPECT_EQ(value, 100);
}

TEST(TimecodeRoundTripTest, WholeRatesRoundTripInShortForm) {
  for (int32_t rate : {kPal, kThirty}) {
    for (int32_t frames : {0, 1, 29, 30, 1799, 1800, 35999}) {
      int32_t value = -1;
      ASSERT_TRUE(ParseTimecode(value, FormatTimecode(frames, true, rate), rate));
      EXPECT_EQ(value, frames) << "rate " << rate;
    }
  }
}

}  // namespace
}  // namespace vantoril

#include "engine/timecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>

namespace vantoril {
namespace {

constexpr int32_t kNtsc = 2997;
constexpr int32_t kPal = 2500;
constexpr int32_t kThirty = 3000;

using Text = std::tuple<int32_t, bool, int32_t, const char*>;  // frames, short form, rate

TEST(FormatTimecodeTest, FieldsNtscMinutesNegativesAndWrap) {
  for (const auto& [frames, shortForm, rate, text] :
       {Text(1800, false, kThirty, "00:01:00:00"), Text(1800, true, kThirty, "01:00:00"),
        Text(111694, false, kThirty, "01:02:03:04"), Text(111694, true, kThirty, "02:03:04"),
        Text(0, true, kThirty, "00:00:00"), Text(24, false, kPal, "00:00:00:24"),
        Text(25 * 61 + 3, true, kPal, "01:01:03"), Text(1798, false, kNtsc, "00:01:00:00"),
        Text(1797, false, kNtsc, "00:00:59:27"), Text(1798, true, kNtsc, "01:00:00"),
        Text(107892, false, kNtsc, "01:00:00:00"), Text(30, true, kNtsc, "00:01:00"),
        Text(-45, false, kThirty, "00:00:01.15"), Text(-45, true, kThirty, "00:01.15"),
        Text(13 * 3600 * 25, false, kPal, "01:00:00:00")}) {
    EXPECT_EQ(FormatTimecode(frames, shortForm, rate), text) << frames << " " << rate;
  }
  // The most negative frame number must not overflow on negation.
  EXPECT_EQ(FormatTimecode(std::numeric_limits<int32_t>::min(), false, kThirty).size(), 11u);
}

TEST(ParseTimecodeTest, FieldsSignsNtscTextWithoutDigitsAndRoundTrips) {
  // Text, rate, the value from 100 (unchanged when refused). Any separator will do and a fifth
  // field is ignored; "123" is second 1, frame 23; NTSC reads at the rounded rate.
  for (const auto& [text, rate, value] :
       {std::tuple("1:00", kThirty, 30), std::tuple("01:02:03:04", kThirty, 111694),
        std::tuple("01:00:00", kPal, 1500), std::tuple("9 1 1 1 1", kPal, 91526),
        std::tuple("123", kThirty, 53), std::tuple("01:00:00", kNtsc, 1800),
        std::tuple("+10", kThirty, 110), std::tuple("-10", kThirty, 90),
        std::tuple("abc:", kThirty, 100), std::tuple("", kThirty, 100)}) {
    int32_t parsed = 100;
    EXPECT_EQ(ParseTimecode(parsed, text, rate), value != 100) << text;
    EXPECT_EQ(parsed, value) << text;
  }
  // Whole rates round-trip in short form.
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

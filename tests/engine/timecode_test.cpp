#include "engine/timecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace vantoril {
namespace {

constexpr int32_t kNtsc = 2997;
constexpr int32_t kPal = 2500;
constexpr int32_t kThirty = 3000;

TEST(FormatTimecodeTest, FieldsNtscMinutesNegativesAndWrap) {
  struct Case {
    int32_t frames;
    bool shortForm;
    int32_t rate;
    const char* text;
  };
  const Case cases[] = {
      {1800, false, kThirty, "00:01:00:00"},   {1800, true, kThirty, "01:00:00"},
      {111694, false, kThirty, "01:02:03:04"}, {111694, true, kThirty, "02:03:04"},
      {0, true, kThirty, "00:00:00"},          {24, false, kPal, "00:00:00:24"},
      {25 * 61 + 3, true, kPal, "01:01:03"},   {1798, false, kNtsc, "00:01:00:00"},
      {1797, false, kNtsc, "00:00:59:27"},     {107892, false, kNtsc, "01:00:00:00"},
      {30, true, kNtsc, "00:01:00"},           {-45, false, kThirty, "00:00:01.15"},
      {-45, true, kThirty, "00:01.15"},        {13 * 3600 * 25, false, kPal, "01:00:00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatTimecode(c.frames, c.shortForm, c.rate), c.text) << c.frames << " " << c.rate;
  }
  // The most negative frame number must not overflow on negation.
  EXPECT_EQ(FormatTimecode(std::numeric_limits<int32_t>::min(), false, kThirty).size(), 11u);
}

TEST(ParseTimecodeTest, FieldsSignsNtscTextWithoutDigitsAndRoundTrips) {
  struct Case {
    std::string text;
    int32_t rate;
    bool ok;
    int32_t value;  // starting from 100
  };
  const Case cases[] = {
      {"1:00", kThirty, true, 30},
      {"01:02:03:04", kThirty, true, 111694},
      {"01:00:00", kPal, true, 1500},
      {"9 1 1 1 1", kPal, true, 91526},  // any separator; a fifth field is ignored
      {"123", kThirty, true, 53},        // second 1, frame 23
      {"01:00:00", kNtsc, true, 1800},   // the rounded rate
      {FormatTimecode(1798, true, kNtsc), kNtsc, true, 1800},
      {"+10", kThirty, true, 110},
      {"-10", kThirty, true, 90},
      {"abc:", kThirty, false, 100},
      {"", kThirty, false, 100},
  };
  for (const Case& c : cases) {
    int32_t value = 100;
    EXPECT_EQ(ParseTimecode(value, c.text, c.rate), c.ok) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
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

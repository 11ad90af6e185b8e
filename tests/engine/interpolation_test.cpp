#include "engine/interpolation.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

namespace vantoril {
namespace {

constexpr int kX = 0;
constexpr int kRuleNone = 3;
constexpr int kLine = kStraightLines;

// Key frames carrying `value` in x, at the given times; the first with `easeCode`.
std::vector<KeyFrame> Keys(std::initializer_list<std::pair<int, float>> timesAndValues,
                           float easeCode = 0) {
  std::vector<KeyFrame> keys;
  for (const auto& [time, value] : timesAndValues) {
    keys.emplace_back().time = time;
    keys.back().x = value;
  }
  keys[0].easeCode = easeCode;
  return keys;
}

// The ease inside the moves is pinned by the frames below; the stored quarter turn is a little
// short, so neither end is quite reached.
TEST(Ease, EndsFallShortByTheStoredQuarterTurn) {
  EXPECT_NEAR(Ease(1.0f, 0.5f, 0.5f), 0.99999999768, 1e-11);
  EXPECT_NEAR(Ease(0.0f, 0.5f, 0.5f), 1.0 - 0.99999999768, 1e-11);
}

TEST(Interpolate, EasesCurvesHoldsAndTangentsAtPinnedFrames) {
  const auto Two = [](float easeCode) { return Keys({{0, 0}, {30, 100}}, easeCode); };
  const auto two = Two(0), single = Keys({{10, 7.25f}});
  const auto three = Keys({{0, 0}, {10, 100}, {20, 200}});
  const auto held = Keys({{0, 0}, {10, 100}, {10, 500}, {20, 200}});
  const auto swing = Keys({{0, 0}, {10, 100}, {20, 120}, {30, 0}});  // moves 100, 20, -120
  struct Case {
    std::vector<KeyFrame> keys;
    int t, mode;
    double x, tolerance;
    bool secondField;
  };
  const auto C = [](const std::vector<KeyFrame>& keys, int t, int mode, double x,
                    double tolerance = 1e-12, bool secondField = false) {
    return Case{keys, t, mode, x, tolerance, secondField};
  };
  const Case cases[] = {
      // Default: curved (leaving flat) and eased in and out; the last value outside the keys.
      C(single, -100, 0, 7.25), C(single, 10, 0, 7.25), C(single, 100000, 0, 7.25),
      C(two, 15, 0, 37.5), C(two, 6, 0, 1.7373, 1e-4), C(two, 0, 0, 0.0), C(two, 30, 0, 100.0),
      C(two, 45, 0, 100.0), C(two, -5, 0, 100.0), C(two, 15, kLine, 50.0),
      C(two, 6, kLine, 9.5508, 1e-4),
      // An explicit code decides ease and curve, whatever the mode says. 4000: "None".
      C(Two(4000), 15, 0, 37.5), C(Two(4000), 15, kLine, 37.5), C(Two(4001), 6, 0, 20.0),
      C(Two(4001), 15, 0, 50.0),
      // The second field samples half a frame later.
      C(Two(4001), 6, 0, 65.0 / 3, 1e-12, true), C(Two(4001), 29, 0, 295.0 / 3, 1e-12, true),
      // "In & Out" with "No Curves": the low bit counts in the speed too.
      C(Two(1001), 6, 0, 9.5861, 1e-4), C(Two(1001), 15, 0, 50.0, 1e-4),
      // "In" at speed 50 on the constant-speed stretch; "Out" at speed 0.
      C(Two(2050), 15, 0, 24.3777145, 1e-6), C(Two(3000), 15, kLine, 64.6401366, 1e-6),
      // Default rules: 1 eases in only, 2 out only, 3 not at all; 0 in on the first move, out
      // on the last.
      C(two, 15, kLine | 1, 29.2927276, 1e-6), C(two, 15, kLine | 2, 70.7072724, 1e-6),
      C(two, 6, kLine | kRuleNone, 20.0), C(three, 5, kLine, 29.2927276, 1e-6),
      C(three, 15, kLine, 170.7072724, 1e-6), C(three, 15, kLine | 1, 150.0),
      C(three, 5, kLine | 2, 50.0),
      // The zero-length move is never the one found: frame 10 starts from 500.
      C(held, 5, kHoldMode, 0.0), C(held, 9, kHoldMode, 0.0), C(held, 10, kHoldMode, 500.0),
      C(held, 19, kHoldMode, 500.0), C(held, 20, kHoldMode, 200.0), C(held, 10, kRuleNone, 500.0),
      // Tangents damped by w = min(3 * next / this, 1); inner moves take no default ease.
      C(swing, 5, kRuleNone, 45.5), C(swing, 15, kRuleNone, 117.625),
      C(swing, 25, kRuleNone, 71.875), C(swing, 15, 0, 117.625), C(swing, 10, kRuleNone, 100.0),
      C(swing, 20, kRuleNone, 120.0),
      // A standing move counts as size 1, so the tangent into it is damped hard.
      C(Keys({{0, 0}, {10, 100}, {20, 100}}), 5, kRuleNone, 49.8125, 1e-9)};
  for (const Case& c : cases) {
    EXPECT_NEAR(Interpolate(c.keys, kX, c.t, c.secondField, c.mode), c.x, c.tolerance)
        << "t " << c.t << " mode " << c.mode << " first key's code " << c.keys[0].easeCode;
  }
}

TEST(Interpolate, FieldsOnTheirOwnAndHostileValuesFromAFile) {
  EXPECT_EQ(Interpolate({}, kX, 5, false, 0), 0.0);
  auto keys = Keys({{0, 0}, {30, 100}});
  keys[0].level = 100.0f;
  EXPECT_DOUBLE_EQ(Interpolate(keys, 10, 15, false, 0), 62.5);  // the level
  EXPECT_EQ(Interpolate(keys, -1, 15, false, 0), 0.0);
  EXPECT_EQ(Interpolate(keys, kInterpolatedFieldCount, 15, false, 0), 0.0);
  // Extreme times and values must not overflow an integer on the way.
  keys = Keys({{INT_MIN, -3e38f}, {INT_MAX, 3e38f}, {INT_MAX, 3e38f}});
  for (const float code : {0.0f, 0.5f, 3e38f, -5.0f, NAN}) {
    keys[0].easeCode = code;
    EXPECT_TRUE(std::isfinite(Interpolate(keys, kX, 0, false, 0))) << code;
    EXPECT_EQ(Interpolate(keys, kX, INT_MAX, false, 0), 3e38f);
  }
}

}  // namespace
}  // namespace vantoril

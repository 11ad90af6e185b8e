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
constexpr int kLevel = 10;
constexpr int kRuleNone = 3;
constexpr double kQuarterTurn = 1.5707;  // as the ease stores it

// Key frames carrying `value` in x, at the given times.
std::vector<KeyFrame> Keys(std::initializer_list<std::pair<int, float>> timesAndValues) {
  std::vector<KeyFrame> keys;
  for (const auto& [time, value] : timesAndValues) {
    KeyFrame key;
    key.time = time;
    key.x = value;
    keys.push_back(key);
  }
  return keys;
}

double X(const std::vector<KeyFrame>& keys, int t, int mode, bool secondField = false) {
  return Interpolate(keys, kX, t, secondField, mode);
}

TEST(Ease, FixedPoints) {
  EXPECT_DOUBLE_EQ(Ease(0.5f, 0.5f, 0.5f), 0.5);
  // The stored quarter turn is a little short, so the end is not quite 1.
  EXPECT_NEAR(Ease(1.0f, 0.5f, 0.5f), 0.99999999768, 1e-11);
  // ...and the start not quite 0, by the same amount.
  EXPECT_NEAR(Ease(0.0f, 0.5f, 0.5f), 1.0 - 0.99999999768, 1e-11);
  for (const float u : {0.0f, 0.2f, 0.5f, 0.73f, 1.0f}) {
    EXPECT_DOUBLE_EQ(Ease(u, 0.0f, 1.0f), static_cast<double>(u)) << u;
  }
  // Ease in only (k1 = k2 = 1): the first quarter of a sine wave.
  EXPECT_NEAR(Ease(0.5f, 1.0f, 1.0f), 1.0 - std::sin(kQuarterTurn / 2), 1e-12);
  // Ease out only (k1 = k2 = 0).
  EXPECT_NEAR(Ease(0.5f, 0.0f, 0.0f), std::sin(kQuarterTurn / 2), 1e-12);
}

TEST(Interpolate, SingleKeyEmptyFieldIndexesAndTwoKeysDefaultEase) {
  EXPECT_EQ(Interpolate({}, kX, 5, false, 0), 0.0);
  const auto single = Keys({{10, 7.25f}});
  for (const int t : {-100, 10, 100000}) {
    EXPECT_EQ(X(single, t, 0), 7.25);
  }

  // Each field on its own; indexes outside 0..11 give 0.
  auto keys = Keys({{0, 0.0f}, {30, 100.0f}});
  keys[0].level = 100.0f;
  EXPECT_DOUBLE_EQ(Interpolate(keys, kLevel, 15, false, 0), 62.5);
  EXPECT_EQ(Interpolate(keys, -1, 15, false, 0), 0.0);
  EXPECT_EQ(Interpolate(keys, kInterpolatedFieldCount, 15, false, 0), 0.0);

  // Curved (leaving flat, c2 = 200, c3 = -100) and u eased with k1 = k2 = 0.5.
  EXPECT_DOUBLE_EQ(X(keys, 15, 0), 37.5);
  EXPECT_NEAR(X(keys, 6, 0), 1.7373, 1e-4);
  EXPECT_NEAR(X(keys, 0, 0), 0.0, 1e-12);
  // At and after the last key, and before the first: the last value.
  EXPECT_EQ(X(keys, 30, 0), 100.0);
  EXPECT_EQ(X(keys, 45, 0), 100.0);
  EXPECT_EQ(X(keys, -5, 0), 100.0);
}

TEST(Interpolate, StraightLinesAndExplicitCodes) {
  auto keys = Keys({{0, 0.0f}, {30, 100.0f}});
  EXPECT_DOUBLE_EQ(X(keys, 15, kStraightLines), 50.0);
  EXPECT_NEAR(X(keys, 6, kStraightLines), 9.5508, 1e-4);

  // "None": no ease; an explicit code also decides curve or line, whatever
  // the mode says.
  keys[0].easeCode = 4000;
  EXPECT_DOUBLE_EQ(X(keys, 15, 0), 37.5);
  EXPECT_DOUBLE_EQ(X(keys, 15, kStraightLines), 37.5);
  keys[0].easeCode = 4001;
  EXPECT_NEAR(X(keys, 6, 0), 20.0, 1e-12);
  EXPECT_NEAR(X(keys, 15, 0), 50.0, 1e-12);
  // The second field samples half a frame later.
  EXPECT_NEAR(X(keys, 6, 0, true), 65.0 / 3, 1e-12);
  EXPECT_NEAR(X(keys, 29, 0, true), 295.0 / 3, 1e-12);

  // "In & Out" with "No Curves": the low bit counts in the speed too, so
  // s = 0.01, k1 = 0.495, k2 = 0.505 on a straight line.
  keys[0].easeCode = 1001;
  EXPECT_NEAR(X(keys, 6, 0), 9.5861, 1e-4);
  EXPECT_NEAR(X(keys, 15, 0), 50.0, 1e-4);

  // On the curve (c2 = 200, c3 = -100) with an eased u.
  const auto curve = [](double u) { return 200.0 * u * u - 100.0 * u * u * u; };
  // "In" at speed 50: k1 = 0.5, k2 = 1, so u = 0.5 sits on the constant-speed
  // stretch: (u - k1 + A) / F with A = 2 k1 q, F = A + (k2 - k1).
  const double q = 0.3183294072706437;
  keys[0].easeCode = 2050;
  EXPECT_NEAR(X(keys, 15, 0), curve(q / (q + 0.5)), 1e-6);
  // "Out" at speed 0: k1 = k2 = 0.
  keys[0].easeCode = 3000;
  EXPECT_NEAR(X(keys, 15, kStraightLines), curve(std::sin(kQuarterTurn / 2)), 1e-6);
}

TEST(Interpolate, DefaultEaseRules) {
  const auto two = Keys({{0, 0.0f}, {30, 100.0f}});
  const int straight = kStraightLines;
  // Rule 1: a single move is the first one, so it eases in only.
  EXPECT_NEAR(X(two, 15, straight | 1), 100.0 * (1.0 - std::sin(kQuarterTurn / 2)), 1e-6);
  // Rule 2: it is also the last one, so it eases out only.
  EXPECT_NEAR(X(two, 15, straight | 2), 100.0 * std::sin(kQuarterTurn / 2), 1e-6);
  EXPECT_NEAR(X(two, 6, straight | kRuleNone), 20.0, 1e-12);

  // Rule 0 with three keys: in on the first move, out on the last.
  const auto three = Keys({{0, 0.0f}, {10, 100.0f}, {20, 200.0f}});
  EXPECT_NEAR(X(three, 5, straight), 100.0 * (1.0 - std::sin(kQuarterTurn / 2)), 1e-6);
  EXPECT_NEAR(X(three, 15, straight), 100.0 + 100.0 * std::sin(kQuarterTurn / 2), 1e-6);
  EXPECT_NEAR(X(three, 15, straight | 1), 150.0, 1e-12);
  EXPECT_NEAR(X(three, 5, straight | 2), 50.0, 1e-12);
}

TEST(Interpolate, HoldAndZeroLengthMoves) {
  const auto keys = Keys({{0, 0.0f}, {10, 100.0f}, {10, 500.0f}, {20, 200.0f}});
  EXPECT_EQ(X(keys, 5, kHoldMode), 0.0);
  EXPECT_EQ(X(keys, 9, kHoldMode), 0.0);
  // The zero-length move is never the one found: frame 10 starts from 500.
  EXPECT_EQ(X(keys, 10, kHoldMode), 500.0);
  EXPECT_EQ(X(keys, 19, kHoldMode), 500.0);
  EXPECT_EQ(X(keys, 20, kHoldMode), 200.0);
  EXPECT_EQ(X(keys, 10, kRuleNone), 500.0);
}

TEST(Interpolate, TangentsCarryAndAreDampedAcrossMoves) {
  // Moves of 100, 20 and -120; tangents damped by w = min(3 * next / this, 1).
  const auto keys = Keys({{0, 0.0f}, {10, 100.0f}, {20, 120.0f}, {30, 0.0f}});
  EXPECT_DOUBLE_EQ(X(keys, 5, kRuleNone), 45.5);
  EXPECT_DOUBLE_EQ(X(keys, 15, kRuleNone), 117.625);
  EXPECT_DOUBLE_EQ(X(keys, 25, kRuleNone), 71.875);
  // Inner moves take no default ease under rule 0.
  EXPECT_DOUBLE_EQ(X(keys, 15, 0), 117.625);
  // The curve passes through every key.
  EXPECT_DOUBLE_EQ(X(keys, 10, kRuleNone), 100.0);
  EXPECT_DOUBLE_EQ(X(keys, 20, kRuleNone), 120.0);

  // A standing move counts as size 1, so the tangent into it is damped hard:
  // w = min(3 * 1 / 100, 1) = 0.03, m1 = 0.03 * 50 = 1.5 on the first move.
  const auto stop = Keys({{0, 0.0f}, {10, 100.0f}, {20, 100.0f}});
  EXPECT_NEAR(X(stop, 5, kRuleNone), (300.0 - 1.5) / 4 + (-200.0 + 1.5) / 8, 1e-9);
}

TEST(Interpolate, HostileValuesFromAFileStayDefined) {
  // Extreme times and values must not overflow an integer on the way.
  auto keys = Keys({{INT_MIN, -3e38f}, {INT_MAX, 3e38f}, {INT_MAX, 3e38f}});
  for (const float code : {0.0f, 0.5f, 3e38f, -5.0f, NAN}) {
    keys[0].easeCode = code;
    EXPECT_TRUE(std::isfinite(X(keys, 0, 0))) << code;
    EXPECT_EQ(X(keys, INT_MAX, 0), 3e38f);
  }
}

}  // namespace
}  // namespace vantoril

#include "engine/interpolation.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace vantoril {

namespace {

// Ease codes are "kind * 1000 + speed", the low bit of the speed asking for a
// straight line.
constexpr int kStraightCodeBit = 1;

// Truncation toward zero that saturates instead of overflowing: key frame
// values come from show files and may be anything.
int TruncateToInt(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  if (value >= static_cast<double>(INT_MAX)) {
    return INT_MAX;
  }
  if (value <= static_cast<double>(INT_MIN)) {
    return INT_MIN;
  }
  return static_cast<int>(value);
}

// |trunc(to - from)|, the size of a move as the tangent damping measures it.
double MoveSize(float from, float to) {
  return std::fabs(std::trunc(static_cast<double>(to) - static_cast<double>(from)));
}

}  // namespace

double Ease(float u, float k1, float k2) {
  // A quarter turn and the reciprocal of pi, both as they were stored; Ease
  // (1, ...) is therefore a hair below 1 and shows depend on it.
  constexpr double h = 1.5707;
  constexpr double q = 0.3183294072706437;
  const double uu = u;
  const double a = 2 * static_cast<double>(k1) * q;
  const double b = (1.0 - k2) * 2.0 * q;
  const double f = a + (static_cast<double>(k2) - k1) + b;
  double v;
  if (uu < k1) {
    v = (std::sin(uu / k1 * h - h) + 1.0) * a;
  } else if (uu <= k2) {
    v = uu - k1 + a;
  } else {
    v = std::sin((uu - k2) / (1.0 - k2) * h) * b + (a + (static_cast<double>(k2) - k1));
  }
  return v * (1.0 / f);
}

CurveSegment CurveCoefficients(int position, float a, float b, float c, double wPrev, double wNext,
                               double& tangentState) {
  const double pa = a;
  const double pb = b;
  const double pc = c;
  double m0 = 0.0;
  switch (position) {
    case -1:
      // The tangent of a mirrored key before the first one; wPrev is 0 from
      // Interpolate, so paths leave their first key with tangent 0.
      m0 = wPrev * ((pb - (2 * pa - pb)) * 0.5);
      tangentState = wNext * ((pc - pa) * 0.5);
      break;
    case 0:
      m0 = tangentState;
      tangentState = wNext * ((pc - pa) * 0.5);
      break;
    case 1:
      m0 = tangentState;
      tangentState = wNext * ((2 * pb - pa - pa) * 0.5);
      break;
    default:
      break;
  }
  const double m1 = tangentState;
  CurveSegment segment;
  segment.c0 = pa;
  segment.c1 = m0;
  segment.c2 = 3.0 * (pb - pa) - 2 * m0 - m1;
  segment.c3 = 2.0 * (pa - pb) + m0 + m1;
  return segment;
}

namespace {

// Where along a segment the eased time u lies. The ease follows the show's
// rule (both ends, first, last or none) unless the key frame carries its own
// ease code, which also says whether the move is straight.
double EasedPosition(double u, int rule, bool onlySegment, bool first, bool lastSegment,
                     float easeCode, bool& straight) {
  int ease = 3;
  if (rule == 0 && onlySegment) {
    ease = 0;
  } else if ((rule == 0 || rule == 1) && first) {
    ease = 1;
  } else if ((rule == 0 || rule == 2) && lastSegment) {
    ease = 2;
  }
  int speed = 0;
  if (easeCode > 0.0) {
    // The kind, evaluated in f32: 1000.. gives 0 (in and out), 2000.. 1
    // (in), 3000.. 2 (out), 4000.. 3 (none).
    ease = TruncateToInt((easeCode - 900.0f) * 0.001f);
    const int code = TruncateToInt(easeCode);
    speed = code % 1000;
    straight = (code & kStraightCodeBit) != 0;
  }
  const double s = speed * static_cast<double>(0.01f);
  switch (ease) {
    case 0:
      return Ease(static_cast<float>(u), static_cast<float>(0.5 - 0.5 * s),
                  static_cast<float>(0.5 + 0.5 * s));
    case 1:
      return Ease(static_cast<float>(u), static_cast<float>(1.0 - s), 1.0f);
    case 2:
      return Ease(static_cast<float>(u), 0.0f, static_cast<float>(s));
    default:
      return u;
  }
}

}  // namespace

double Interpolate(std::span<const KeyFrame> keys, int field, int t, bool secondField, int mode) {
  if (keys.empty() || field < 0 || field >= kInterpolatedFieldCount) {
    return 0.0;
  }
  const auto value = [&](size_t i) { return FieldValue(keys[i], field); };
  const size_t n = keys.size();
  if (n == 1) {
    return value(0);
  }
  const double off = secondField ? 0.5 : 0.0;
  float a = value(0);
  float b = value(1);
  float c = value(1);
  double dPrev = MoveSize(a, b);
  bool straight = (mode & kStraightLines) != 0;
  const int rule = mode & 15;
  double wPrev = 0.0;
  double wNext = 0.0;
  double tangentState = 0.0;
  const size_t last = n - 2;

  for (size_t i = 0; i <= last; ++i) {
    // 64 bits: times from a file may lie anywhere in the i32 range.
    const int64_t start = keys[i].time;
    const int64_t len = static_cast<int64_t>(keys[i + 1].time) - start;
    int position = i == 0 ? -1 : 0;
    if (i == last) {
      position = 1;
      wNext = 1.0;
    } else {
      // Damp the tangent where the next move is much shorter or longer.
      c = value(i + 2);
      double dNext = MoveSize(b, c);
      if (dNext == 0) {
        dNext = 1;
      }
      const double lo = std::min(dPrev, dNext);
      const double hi = std::max(dPrev, dNext);
      wNext = std::min(3.0 * lo / hi, 1.0);
      dPrev = dNext;
    }
    const CurveSegment segment = CurveCoefficients(position, a, b, c, wPrev, wNext, tangentState);

    if (start <= t && t < start + len) {
      if (rule == kHoldMode) {
        return a;
      }
      double u = (static_cast<double>(t - start) + off) / static_cast<double>(len);

      u = EasedPosition(u, rule, n == 2, i == 0, i == last, keys[i].easeCode, straight);
      if (straight) {
        return a + u * (static_cast<double>(b) - a);
      }
      return ((segment.c3 * u + segment.c2) * u + segment.c1) * u + segment.c0;
    }
    a = b;
    b = c;
    wPrev = wNext;
  }
  return c;
}

}  // namespace vantoril

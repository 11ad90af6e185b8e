#pragma once

#include <span>

#include "engine/key_frame.h"

namespace vantoril {

// Interpolation mode: bit 4 asks for straight lines; the low 4 bits give the
// default-ease rule (0 in at the first move and out at the last, 1 in only,
// 2 out only, 3 none, 4 hold).
inline constexpr int kStraightLines = 16;
inline constexpr int kHoldMode = 4;

// Value of field `field` (0..11) at frame t along the time-sorted key frames.
// secondField samples half a frame later. keys must hold at least one record.
double Interpolate(std::span<const KeyFrame> keys, int field, int t, bool secondField, int mode);

// Sine-shaped ease of u with acceleration up to k1 and deceleration after k2.
double Ease(float u, float k1, float k2);

struct CurveSegment {
  double c0 = 0, c1 = 0, c2 = 0, c3 = 0;
};

// The cubic segment from a to b; position -1 first move, 0 inner move, 1 last
// move. tangentState carries the end tangent from one move to the next.
CurveSegment CurveCoefficients(int position, float a, float b, float c, double wPrev, double wNext,
                               double& tangentState);

}  // namespace vantoril

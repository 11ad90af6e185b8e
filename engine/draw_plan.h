#pragma once

// The geometry that every brush of DrawPicture shares: where each visited
// destination pixel samples the picture, which columns of a row can lie on
// it, and the bilinear taps it reads.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/compositor.h"
#include "engine/draw_picture.h"
#include "engine/key_frame.h"

namespace vantoril::paint {

// Everything the row loops need, worked out once per picture.
struct Plan {
  // Rows are addressed from the top display row down, a stride apart: the
  // buffers are stored bottom-up.
  const uint8_t* srcTop = nullptr;
  ptrdiff_t srcStride = 0;
  uint8_t* dstTop = nullptr;
  ptrdiff_t dstStride = 0;
  int srcW = 0;
  int srcH = 0;
  int dstW = 0;
  int dstH = 0;
  int fieldDiv = 1;
  int lineStep = 1;
  int parity = 0;
  int colBegin = 0;  // visited destination columns
  int colEnd = 0;
  int rowBegin = 0;  // visited display rows
  int rowEnd = 0;
  double sx = 0;
  double sy = 0;
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  double c = 1;
  double s = 0;
  double du = 0;  // source step per destination column
  double dv = 0;
  double uMax = 0;  // the inside test: 0 <= u <= srcW - hd, 0 <= v <= srcH - vd
  double vMax = 0;
  int hd = 1;  // neighbour spacing of the bilinear taps
  int vd = 1;
  int L = 0;
  int R16 = 0;
  bool rowSpans = true;  // false: test every column of the bounding box
  VectorPath vector = VectorPath::kAuto;

  bool Painted(int r) const { return !(lineStep == 2 && r % 2 == parity); }
  // Display row j of the source; j = srcH stands for the last row.
  const uint8_t* SrcRow(int j) const { return srcTop - std::min(j, srcH - 1) * srcStride; }
  // Buffer row `row` of the destination, counted from the top.
  uint8_t* DstRow(int row) const { return dstTop - row * dstStride; }
  uint8_t* DestRow(int r) const { return DstRow(r / fieldDiv); }

  // The sampling grid: the mapping is evaluated exactly at the first visited
  // column and display row r, and the row is then walked by the exact
  // per-column steps. Every destination pixel thus samples the source at the
  // image of its top-left corner, the same way in every row and draw mode.
  void RowStart(int r, double& u, double& v) const {
    const double ex = colBegin / sx - x;
    const double ey = r / sy - y;
    const double dx = c * ex + s * ey;
    const double dy = -s * ex + c * ey;
    u = (dx + width / 2) * srcW / width;
    v = (dy + height / 2) * srcH / height;
  }
};

// The four bilinear taps of one destination pixel. Every channel is worked
// out in double precision exactly as written; inlined, the compiler runs the
// four channels side by side in vector lanes, each with the same operations
// in the same order (no contraction into fused multiply-adds), so the values
// do not change.
struct Taps {
  const uint8_t* p00;
  const uint8_t* p10;
  const uint8_t* p01;
  const uint8_t* p11;
  double fx;
  double fy;

  [[gnu::always_inline]] int Channel(int k) const {
    const double top = p00[k] + (p10[k] - p00[k]) * fx;
    const double bottom = p01[k] + (p11[k] - p01[k]) * fx;
    return static_cast<int>(top + (bottom - top) * fy);
  }
  [[gnu::always_inline]] int Alpha() const { return Channel(3); }
};

// The columns of row r that can lie on the picture, [first, last): where the
// row's u and v, as linear functions of the column, fall inside the picture,
// widened by a pixel each side so that the rounding of the stepped values
// cannot move a pixel that the per-pixel test takes inside out of the span.
// A step too small to bound the span safely leaves that side of it open.
struct Span {
  int first;
  int last;
};

inline void NarrowToInterval(double start, double step, double hi, double& lo, double& up) {
  constexpr double kTinyStep = 1e-6;
  if (step > kTinyStep || step < -kTinyStep) {
    double a = (0.0 - start) / step;
    double b = (hi - start) / step;
    if (a > b) std::swap(a, b);
    lo = std::max(lo, a - 1.0);
    up = std::min(up, b + 1.0);
  } else if (step == 0.0 && (start < 0.0 || start > hi)) {
    // Stepping by zero keeps the value exactly: no column is inside.
    up = -1.0;
  }
}

inline Span RowSpan(const Plan& p, double u0, double v0) {
  const int count = p.colEnd - p.colBegin;
  double lo = 0.0;
  double up = count;
  NarrowToInterval(u0, p.du, p.uMax, lo, up);
  NarrowToInterval(v0, p.dv, p.vMax, lo, up);
  if (!(lo < up)) {
    return {p.colBegin, p.colBegin};
  }
  const int first = lo <= 0.0 ? 0 : static_cast<int>(std::min<double>(lo, count));
  const int last = up >= count ? count : static_cast<int>(std::max(up + 1.0, 0.0));
  return {p.colBegin + first, p.colBegin + std::max(first, std::min(last, count))};
}

[[gnu::always_inline]] inline bool InsideAt(const Plan& p, double u, double v) {
  return u >= 0.0 && v >= 0.0 && u <= p.uMax && v <= p.vMax;
}

// The taps of the pixel at u, v, which lies on the picture.
[[gnu::always_inline]] inline Taps MakeTaps(const Plan& p, double u, double v) {
  const int i = static_cast<int>(u);
  const int j = static_cast<int>(v);
  // At u = srcW - hd exactly the far column is one past the last, and at
  // v = srcH - vd the far row one past the bottom; their weight is 0
  // there, so the last column (and the repeated last row) stand in.
  const int i1 = std::min(i + p.hd, p.srcW - 1);
  const uint8_t* row0 = p.SrcRow(j);
  const uint8_t* row1 = p.SrcRow(j + p.vd);
  return Taps{row0 + 4 * i, row0 + 4 * i1, row1 + 4 * i, row1 + 4 * i1, u - i, v - j};
}

// Walks display row r of the visited range from left to right: `inside` for
// every pixel that lies on the picture, `step` after every column. u and v
// are stepped from the first visited column through every column, so each
// pixel samples where it always did; only the span of the row that can lie
// on the picture is tested and sampled.
template <class Inside, class Step>
[[gnu::always_inline]] inline void WalkRow(const Plan& p, int r, Inside&& inside, Step&& step) {
  double u;
  double v;
  p.RowStart(r, u, v);
  const Span span = p.rowSpans ? RowSpan(p, u, v) : Span{p.colBegin, p.colEnd};
  int X = p.colBegin;
  for (; X < span.first; ++X, u += p.du, v += p.dv) {
    step(X);
  }
  for (; X < span.last; ++X, u += p.du, v += p.dv) {
    if (InsideAt(p, u, v)) {
      inside(X, MakeTaps(p, u, v));
    }
    step(X);
  }
  for (; X < p.colEnd; ++X) {
    step(X);
  }
}

// Up to four painted display rows from r on (r is moved past them).
struct RowGroup {
  int rows[4] = {0, 0, 0, 0};
  int count = 0;
};

inline RowGroup NextRows(const Plan& p, int& r, int rowLast) {
  RowGroup group;
  for (; r < rowLast && group.count < 4; ++r) {
    if (p.Painted(r)) {
      group.rows[group.count++] = r;
    }
  }
  return group;
}

// The destination buffer rows of a group's display rows.
struct GroupRows {
  uint8_t* rows[4] = {nullptr, nullptr, nullptr, nullptr};
};

inline GroupRows DestRows(const Plan& p, const RowGroup& group) {
  GroupRows dest;
  for (int k = 0; k < group.count; ++k) {
    dest.rows[k] = p.DestRow(group.rows[k]);
  }
  return dest;
}

// Fills everything but the source and destination rows; false when nothing
// would be painted.
bool PlanPicture(Plan& p, const KeyFrame& state, DrawMode drawMode, int srcW, int srcH, int dstW,
                 int dstH, int stageW, int stageH);

// Whether this processor has the instruction sets, and whether a plan's
// rows are to be painted with them.
bool HasAvx2();
bool HasAvx512();
bool UsesAvx2(const Plan& p);
bool UsesAvx512(const Plan& p);

}  // namespace vantoril::paint

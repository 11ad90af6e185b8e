#include "engine/draw_plan.h"

#include <cmath>

namespace vantoril::paint {
namespace {

// Stored f32 constants, widened to double where they are used: 2.55f is
// 2.5499999523, so level 50 gives L = 127 and level 100 gives 255.
constexpr double kDegreesToRadians = 0.0174532f;
constexpr double kLevelScale = 2.55f;
constexpr double kLevelRound = 0.5f;

// Start values of the bounding box search; a picture whose corners all lie
// beyond them keeps them (it is off the stage either way).
constexpr double kBoxStart = 999999.0;

// trunc toward zero of a double known to be no NaN, cut to lo .. hi before the
// conversion so that far-away pictures cannot overflow an int.
int TruncClamped(double value, int lo, int hi) {
  if (value <= lo) {
    return lo;
  }
  if (value >= hi) {
    return hi;
  }
  return static_cast<int>(value);
}

bool IsFinite(const KeyFrame& state) {
  return std::isfinite(state.x) && std::isfinite(state.y) && std::isfinite(state.width) &&
         std::isfinite(state.height) && std::isfinite(state.rotation) && std::isfinite(state.level);
}

bool DrawModeIsValid(DrawMode mode) {
  return mode.fieldDiv >= 1 && mode.fieldDiv <= 10 && mode.lineStep >= 1 && mode.lineStep <= 10 &&
         mode.parity >= 0 && mode.parity <= 9;
}

}  // namespace

bool PlanPicture(Plan& p, const KeyFrame& state, DrawMode drawMode, int srcW, int srcH, int dstW,
                 int dstH, int stageW, int stageH) {
  if (!DrawModeIsValid(drawMode) || stageW <= 0 || stageH <= 0) {
    return false;
  }
  // A picture without size, or with a position, size, turn or level that
  // is not a number, has no shape to paint and would divide by zero below.
  if (!IsFinite(state) || state.width == 0 || state.height == 0) {
    return false;
  }
  p.fieldDiv = drawMode.fieldDiv;
  p.lineStep = drawMode.lineStep;
  p.parity = drawMode.parity;
  p.srcW = srcW;
  p.srcH = srcH;
  p.dstW = dstW;
  p.dstH = dstH;
  p.x = state.x;
  p.y = state.y;
  p.width = state.width;
  p.height = state.height;

  const double theta = state.rotation * kDegreesToRadians;
  p.c = std::cos(theta);
  p.s = std::sin(theta);
  // A curved level can overshoot 0 .. 100 between key frames.
  const double level = std::clamp(static_cast<double>(state.level), 0.0, 100.0);
  p.L = static_cast<int>(level * kLevelScale + kLevelRound);
  p.R16 = p.L / 16;

  p.sx = static_cast<double>(dstW) / stageW;
  p.sy = static_cast<double>(dstH * p.fieldDiv) / stageH;
  const double kx = srcW / (p.width * p.sx);
  const double ky = srcH / (p.height * p.sy);
  // A tiny size makes kx huge; any spacing past the source's side paints
  // nothing, so cut there before converting.
  p.hd = std::max(1, static_cast<int>(std::min(std::fabs(kx), srcW + 1.0)));
  p.vd = std::max(1, static_cast<int>(std::min(std::fabs(0.5 * ky), srcH + 1.0)));
  p.uMax = srcW - p.hd;
  p.vMax = srcH - p.vd;
  if (p.uMax < 0 || p.vMax < 0) {
    return false;
  }

  const double halfW = p.width / 2;
  const double halfH = p.height / 2;
  double minX = kBoxStart;
  double maxX = -kBoxStart;
  double minY = kBoxStart;
  double maxY = -kBoxStart;
  for (const double dx : {-halfW, halfW}) {
    for (const double dy : {-halfH, halfH}) {
      const double px = p.x + p.c * dx - p.s * dy;
      const double py = p.y + p.s * dx + p.c * dy;
      minX = std::min(minX, px);
      maxX = std::max(maxX, px);
      minY = std::min(minY, py);
      maxY = std::max(maxY, py);
    }
  }
  const int displayHeight = dstH * p.fieldDiv;
  p.colBegin = std::max(0, TruncClamped(minX * p.sx, -1, dstW));
  p.colEnd = std::min(dstW, TruncClamped((maxX + 1) * p.sx, -1, dstW));
  p.rowBegin = std::max(0, TruncClamped(minY * p.sy, -1, displayHeight));
  p.rowEnd = std::min(displayHeight, TruncClamped((maxY + 1) * p.sy, -1, displayHeight));
  if (p.colBegin >= p.colEnd || p.rowBegin >= p.rowEnd) {
    return false;
  }

  p.du = p.c / p.sx * srcW / p.width;
  p.dv = -p.s / p.sx * srcH / p.height;
  return true;
}

bool HasAvx512() {
  static const bool avx512 =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
  return avx512;
}

bool UsesAvx512(const Plan& p) {
  return p.vector == VectorPath::kAvx512 || (p.vector == VectorPath::kAuto && HasAvx512());
}

bool HasAvx2() {
  // Every processor with AVX2 has had FMA too; the vector paths use both.
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return avx2;
}

bool UsesAvx2(const Plan& p) {
  return p.vector == VectorPath::kAvx2 || p.vector == VectorPath::kAvx512 ||
         (p.vector == VectorPath::kAuto && HasAvx2());
}

}  // namespace vantoril::paint

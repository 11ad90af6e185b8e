#include "engine/draw_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "engine/box_average.h"
#include "engine/compositor.h"
#include "engine/show_document.h"

namespace vantoril {
namespace {

// Stored f32 constants, widened to double where they are used: 2.55f is
// 2.5499999523, so level 50 gives L = 127 and level 100 gives 255.
constexpr double kDegreesToRadians = 0.0174532f;
constexpr double kLevelScale = 2.55f;
constexpr double kLevelRound = 0.5f;
constexpr double kLumaBlue = 0.11f;
constexpr double kLumaGreen = 0.59f;
constexpr double kLumaRed = 0.3f;

// Start values of the bounding box search; a picture whose corners all lie
// beyond them keeps them (it is off the stage either way).
constexpr double kBoxStart = 999999.0;

// Brush code ranges, by thousands.
constexpr int32_t kBrushEnd = 7000;

// Below this many visited pixels a second thread costs more than it saves.
constexpr int64_t kSplitArea = int64_t{1} << 16;

// The largest blur window: R16 is at most 255 / 16 = 15, the window 30 x 30.
constexpr int kMaxBlurRadius = 15;
constexpr int kMaxWindowCount = (2 * kMaxBlurRadius) * (2 * kMaxBlurRadius);

// n / d for 0 <= n < 2^18 and 1 <= d <= 900 without a division: with
// m = ceil(2^32 / d) and e = m * d - 2^32 < d, n * m / 2^32 = n / d + n * e /
// (d * 2^32), and n * e < 2^28 keeps the error below the distance to the next
// multiple of 1 / d. A window sum is at most 255 * 900 < 2^18.
constexpr std::array<uint64_t, kMaxWindowCount + 1> MakeReciprocals() {
  std::array<uint64_t, kMaxWindowCount + 1> table{};
  for (uint64_t d = 1; d <= kMaxWindowCount; ++d) {
    table[d] = ((uint64_t{1} << 32) + d - 1) / d;
  }
  return table;
}
constexpr std::array<uint64_t, kMaxWindowCount + 1> kReciprocals = MakeReciprocals();

inline int DivideWindowSum(int32_t sum, int count) {
  return static_cast<int>((static_cast<uint64_t>(sum) * kReciprocals[count]) >> 32);
}

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

bool TwoCores() {
  static const bool twoCores = std::thread::hardware_concurrency() >= 2;
  return twoCores;
}

// Everything the row loops need, worked out once per picture.
struct Plan {
  std::vector<const uint8_t*> srcRows;  // display row j of the source; one extra
                                        // entry repeats the last row
  std::vector<uint8_t*> dstRows;        // buffer rows, counted from the top
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

  bool Painted(int r) const { return !(lineStep == 2 && r % 2 == parity); }
  uint8_t* DestRow(int r) const { return dstRows[r / fieldDiv]; }

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

// The four bilinear taps of one destination pixel.
struct Taps {
  const uint8_t* p00;
  const uint8_t* p10;
  const uint8_t* p01;
  const uint8_t* p11;
  double fx;
  double fy;

  int Channel(int k) const {
    const double top = p00[k] + (p10[k] - p00[k]) * fx;
    const double bottom = p01[k] + (p11[k] - p01[k]) * fx;
    return static_cast<int>(top + (bottom - top) * fy);
  }
  int Alpha() const { return Channel(3); }
};

// Walks display row r of the visited range from left to right: `inside` for
// every pixel that lies on the picture, `step` after every column.
template <class Inside, class Step>
inline void WalkRow(const Plan& p, int r, Inside&& inside, Step&& step) {
  double u;
  double v;
  p.RowStart(r, u, v);
  for (int X = p.colBegin; X < p.colEnd; ++X, u += p.du, v += p.dv) {
    if (u >= 0.0 && v >= 0.0 && u <= p.uMax && v <= p.vMax) {
      const int i = static_cast<int>(u);
      const int j = static_cast<int>(v);
      // At u = srcW - hd exactly the far column is one past the last, and at
      // v = srcH - vd the far row one past the bottom; their weight is 0
      // there, so the last column (and the repeated last row) stand in.
      const int i1 = std::min(i + p.hd, p.srcW - 1);
      const uint8_t* row0 = p.srcRows[j];
      const uint8_t* row1 = p.srcRows[j + p.vd];
      const Taps taps{row0 + 4 * i, row0 + 4 * i1, row1 + 4 * i, row1 + 4 * i1, u - i, v - j};
      inside(X, taps);
    }
    step(X);
  }
}

// Brushes that read nothing but the pixel they paint.

struct NormalBrush {
  int keep;  // 255 - L
  void operator()(uint8_t* d, const Taps& t, int, int) const {
    const int alpha = (t.Alpha() * keep) >> 8;
    const int rest = 255 - alpha;
    const int blue = t.Channel(0);
    const int green = t.Channel(1);
    const int red = t.Channel(2);
    d[0] = static_cast<uint8_t>((blue * alpha + d[0] * rest) >> 8);
    d[1] = static_cast<uint8_t>((green * alpha + d[1] * rest) >> 8);
    d[2] = static_cast<uint8_t>((red * alpha + d[2] * rest) >> 8);
    d[3] = 255;
  }
};

struct DarkenBrush {
  int L;
  void operator()(uint8_t* d, const Taps& t, int, int) const {
    const int f = 255 - ((t.Alpha() * L) >> 8);
    for (int k = 0; k < 3; ++k) {
      d[k] = static_cast<uint8_t>((d[k] * f) >> 8);
    }
  }
};

struct LightenBrush {
  int L;
  void operator()(uint8_t* d, const Taps& t, int, int) const {
    const int a = t.Alpha();
    for (int k = 0; k < 3; ++k) {
      // The brush's own term stops at 232, so it never lifts a channel
      // above 231.
      const int v = std::min(L + d[k], 232);
      d[k] = static_cast<uint8_t>((d[k] * (255 - a) + v * a) >> 8);
    }
  }
};

inline int Luma(const uint8_t* d) {
  return static_cast<int>(d[0] * kLumaBlue + d[1] * kLumaGreen + d[2] * kLumaRed) & 255;
}

struct TintBrush {
  int L;
  int tintBlue;
  int tintGreen;
  int tintRed;
  void operator()(uint8_t* d, const Taps& t, int, int) const {
    const int k = (t.Alpha() * L) >> 8;
    const int Y = Luma(d);
    const int rest = 255 - k;
    d[0] = static_cast<uint8_t>((((Y * tintBlue) >> 8) * k + d[0] * rest) >> 8);
    d[1] = static_cast<uint8_t>((((Y * tintGreen) >> 8) * k + d[1] * rest) >> 8);
    d[2] = static_cast<uint8_t>((((Y * tintRed) >> 8) * k + d[2] * rest) >> 8);
  }
};

struct NoColourBrush {
  int L;
  void operator()(uint8_t* d, const Taps& t, int, int) const {
    const int k = (t.Alpha() * L) >> 8;
    const int Y = Luma(d);
    const int rest = 255 - k;
    for (int c = 0; c < 3; ++c) {
      d[c] = static_cast<uint8_t>((Y * k + d[c] * rest) >> 8);
    }
  }
};

// Reads the block's corner pixel as painted so far, so it runs in order.
struct PixelateBrush {
  const Plan* plan;
  int n;  // block side
  void operator()(uint8_t* d, const Taps& t, int X, int r) const {
    const int a = t.Alpha();
    const uint8_t* block = plan->DestRow(r - r % n) + 4 * (X - X % n);
    const int blue = block[0];
    const int green = block[1];
    const int red = block[2];
    d[0] = static_cast<uint8_t>((blue * a + d[0] * (255 - a)) >> 8);
    d[1] = static_cast<uint8_t>((green * a + d[1] * (255 - a)) >> 8);
    d[2] = static_cast<uint8_t>((red * a + d[2] * (255 - a)) >> 8);
  }
};

template <class Brush>
void PaintRows(const Plan& p, const Brush& brush, int rowFirst, int rowLast) {
  for (int r = rowFirst; r < rowLast; ++r) {
    if (!p.Painted(r)) {
      continue;
    }
    uint8_t* row = p.DestRow(r);
    WalkRow(
        p, r, [&](int X, const Taps& t) { brush(row + 4 * X, t, X, r); }, [](int) {});
  }
}

// For brushes that read only the pixel they paint: the two halves of the
// visited rows go to two threads when that pays. The result is the same as
// on one thread, because no pixel depends on another.
template <class Brush>
void PaintIndependentRows(const Plan& p, const Brush& brush, PaintThreads threads) {
  // Each buffer row must belong to one display row only, or the halves would
  // share rows.
  const bool rowsDistinct =
      p.fieldDiv == 1 || (p.fieldDiv == 2 && p.lineStep == 2 && (p.parity == 0 || p.parity == 1));
  const int64_t area = int64_t{p.colEnd - p.colBegin} * (p.rowEnd - p.rowBegin);
  const bool split = rowsDistinct && p.rowEnd - p.rowBegin >= 2 &&
                     (threads == PaintThreads::kSplit ||
                      (threads == PaintThreads::kAuto && area >= kSplitArea && TwoCores()));
  if (split) {
    const int middle = p.rowBegin + (p.rowEnd - p.rowBegin) / 2;
    std::optional<std::jthread> helper;
    try {
      helper.emplace([&p, &brush, middle] { PaintRows(p, brush, p.rowBegin, middle); });
    } catch (const std::exception&) {
      // No thread to be had: paint everything here.
    }
    if (helper) {
      PaintRows(p, brush, middle, p.rowEnd);
      helper->join();
      return;
    }
  }
  PaintRows(p, brush, p.rowBegin, p.rowEnd);
}

inline void BlendBlur(uint8_t* d, const int* average, int a) {
  for (int k = 0; k < 3; ++k) {
    d[k] = static_cast<uint8_t>((average[k] * a + d[k] * (255 - a)) >> 8);
  }
}

// The blur as written: BoxAverage over the whole window for every pixel.
void PaintBlurDirect(const Plan& p, const ImageBuffer& destination) {
  const int radius = p.R16;
  const int bottomLimit = p.rowEnd / p.fieldDiv;
  for (int r = p.rowBegin; r < p.rowEnd; ++r) {
    if (!p.Painted(r)) {
      continue;
    }
    const int y = r / p.fieldDiv;
    uint8_t* row = p.DestRow(r);
    WalkRow(
        p, r,
        [&](int X, const Taps& t) {
          uint8_t* d = row + 4 * X;
          uint8_t blue = d[0];
          uint8_t green = d[1];
          uint8_t red = d[2];
          BoxAverage(destination, X - radius, y - radius, std::min(X + radius, p.colEnd),
                     std::min(y + radius, bottomLimit), blue, green, red);
          const int average[3] = {blue, green, red};
          BlendBlur(d, average, t.Alpha());
        },
        [](int) {});
  }
}

// The same blur with running sums. For the current row's window of buffer
// rows top .. bottom - 1, colSum holds each column's sum over those rows of
// the destination as it is now: rows entering or leaving the window are
// added or taken off when a new display row starts, and every pixel the
// brush writes inside the window corrects its column at once. Along a row
// the window's sum slides by one column sum in and one out, and a write
// corrects it too, since the written column is in the window of the pixels
// that follow. So every pixel sees exactly the sums BoxAverage would count.
void PaintBlurRunning(const Plan& p) {
  const int radius = p.R16;
  const int bottomLimit = p.rowEnd / p.fieldDiv;
  const int firstColumn = std::max(0, p.colBegin - radius);
  const int columns = p.colEnd - firstColumn;
  std::vector<int32_t> colSum(3 * static_cast<size_t>(columns));
  auto column = [&](int X) { return colSum.data() + 3 * (X - firstColumn); };
  auto addRow = [&](int bufferRow) {
    const uint8_t* q = p.dstRows[bufferRow] + 4 * firstColumn;
    int32_t* s = colSum.data();
    for (int i = 0; i < columns; ++i, q += 4, s += 3) {
      s[0] += q[0];
      s[1] += q[1];
      s[2] += q[2];
    }
  };
  auto subtractRow = [&](int bufferRow) {
    const uint8_t* q = p.dstRows[bufferRow] + 4 * firstColumn;
    int32_t* s = colSum.data();
    for (int i = 0; i < columns; ++i, q += 4, s += 3) {
      s[0] -= q[0];
      s[1] -= q[1];
      s[2] -= q[2];
    }
  };

  bool started = false;
  int top = 0;
  int bottom = 0;
  for (int r = p.rowBegin; r < p.rowEnd; ++r) {
    if (!p.Painted(r)) {
      continue;
    }
    const int y = r / p.fieldDiv;
    // Both ends only move down as r grows.
    const int newTop = std::max(0, y - radius);
    const int newBottom = std::min(y + radius, bottomLimit);
    if (!started || newTop >= bottom) {
      std::fill(colSum.begin(), colSum.end(), 0);
      for (int row = newTop; row < newBottom; ++row) {
        addRow(row);
      }
      started = true;
    } else {
      for (int row = top; row < newTop; ++row) {
        subtractRow(row);
      }
      for (int row = bottom; row < newBottom; ++row) {
        addRow(row);
      }
    }
    top = newTop;
    bottom = newBottom;
    const int windowRows = bottom - top;
    // Row y lies below the window only at the very end of a field buffer.
    const bool rowInWindow = y < bottom;

    int32_t sum[3] = {0, 0, 0};
    for (int X = firstColumn; X < std::min(p.colBegin + radius, p.colEnd); ++X) {
      const int32_t* s = column(X);
      sum[0] += s[0];
      sum[1] += s[1];
      sum[2] += s[2];
    }
    uint8_t* row = p.dstRows[y];
    WalkRow(
        p, r,
        [&](int X, const Taps& t) {
          uint8_t* d = row + 4 * X;
          const int count = (std::min(X + radius, p.colEnd) - std::max(0, X - radius)) * windowRows;
          int average[3] = {d[0], d[1], d[2]};
          if (count > 0) {
            for (int k = 0; k < 3; ++k) {
              average[k] = DivideWindowSum(sum[k], count);
            }
          }
          const int a = t.Alpha();
          if (rowInWindow) {
            int32_t* s = column(X);
            for (int k = 0; k < 3; ++k) {
              const int painted = (average[k] * a + d[k] * (255 - a)) >> 8;
              s[k] += painted - d[k];
              sum[k] += painted - d[k];
              d[k] = static_cast<uint8_t>(painted);
            }
          } else {
            BlendBlur(d, average, a);
          }
        },
        [&](int X) {
          if (X + radius < p.colEnd) {
            const int32_t* in = column(X + radius);
            sum[0] += in[0];
            sum[1] += in[1];
            sum[2] += in[2];
          }
          if (X - radius >= 0) {
            const int32_t* out = column(X - radius);
            sum[0] -= out[0];
            sum[1] -= out[1];
            sum[2] -= out[2];
          }
        });
  }
}

bool IsFinite(const KeyFrame& state) {
  return std::isfinite(state.x) && std::isfinite(state.y) && std::isfinite(state.width) &&
         std::isfinite(state.height) && std::isfinite(state.rotation) && std::isfinite(state.level);
}

// Fills everything but the row tables; false when nothing would be painted.
bool PlanPicture(Plan& p, const KeyFrame& state, int drawMode, int srcW, int srcH, int dstW,
                 int dstH, int stageW, int stageH) {
  if (drawMode < 0 || drawMode > 999 || stageW <= 0 || stageH <= 0) {
    return false;
  }
  // A picture without size, or with a position, size, turn or level that
  // is not a number, has no shape to paint and would divide by zero below.
  if (!IsFinite(state) || state.width == 0 || state.height == 0) {
    return false;
  }
  p.fieldDiv = drawMode / 100 + 1;
  p.lineStep = drawMode / 10 % 10 + 1;
  p.parity = drawMode % 10;
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

}  // namespace

bool DrawPictureWith(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                     int32_t brush, uint32_t tint, int drawMode, int stageW, int stageH,
                     const DrawPictureOptions& options) {
  if (!source.HasHeader() || !destination.HasHeader()) {
    return false;
  }
  // Both are read and written four bytes a pixel.
  if (source.BitsPerPixel() != 32 || destination.BitsPerPixel() != 32) {
    return false;
  }
  if (brush >= kBrushEnd) {
    return true;
  }
  try {
    Plan p;
    if (!PlanPicture(p, state, drawMode, source.Width(), source.Height(), destination.Width(),
                     destination.Height(), stageW, stageH)) {
      return true;
    }
    if (brush >= kBrushPixelate && brush < kBrushDarken && p.R16 == 0) {
      return true;
    }
    p.srcRows.resize(static_cast<size_t>(p.srcH) + 1);
    for (int j = 0; j < p.srcH; ++j) {
      p.srcRows[j] = source.RowPointer(p.srcH - 1 - j);
    }
    p.srcRows[p.srcH] = p.srcRows[p.srcH - 1];
    p.dstRows.resize(p.dstH);
    for (int row = 0; row < p.dstH; ++row) {
      p.dstRows[row] = destination.RowPointer(p.dstH - 1 - row);
    }

    if (brush < kBrushBlur) {
      PaintIndependentRows(p, NormalBrush{255 - p.L}, options.threads);
    } else if (brush < kBrushPixelate) {
      if (options.blur == BlurMethod::kDirect) {
        PaintBlurDirect(p, destination);
      } else {
        PaintBlurRunning(p);
      }
    } else if (brush < kBrushDarken) {
      PaintRows(p, PixelateBrush{&p, (3 * p.R16) / 2}, p.rowBegin, p.rowEnd);
    } else if (brush < kBrushLighten) {
      PaintIndependentRows(p, DarkenBrush{p.L}, options.threads);
    } else if (brush < kBrushTint) {
      PaintIndependentRows(p, LightenBrush{p.L}, options.threads);
    } else if (brush < kBrushNoColour) {
      const TintBrush tintBrush{p.L, static_cast<int>((tint >> 16) & 255),
                                static_cast<int>((tint >> 8) & 255), static_cast<int>(tint & 255)};
      PaintIndependentRows(p, tintBrush, options.threads);
    } else {
      PaintIndependentRows(p, NoColourBrush{p.L}, options.threads);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool DrawPicture(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                 int32_t brush, uint32_t tint, int drawMode, int stageW, int stageH) {
  return DrawPictureWith(source, destination, state, brush, tint, drawMode, stageW, stageH,
                         DrawPictureOptions{});
}

}  // namespace vantoril

#include "engine/draw_picture.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <thread>
#include <type_traits>
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

// Codes from here on name no brush and paint nothing.
constexpr int32_t kBrushEnd = 7000;
constexpr int32_t kBrushStep = 1000;

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

template <class Brush>
[[gnu::always_inline]] inline void PaintRowsBody(const Plan& p, const Brush& brush, int rowFirst,
                                                 int rowLast) {
  for (int r = rowFirst; r < rowLast; ++r) {
    if (!p.Painted(r)) {
      continue;
    }
    uint8_t* row = p.DestRow(r);
    WalkRow(
        p, r,
        [&](int X, const Taps& t) __attribute__((always_inline)) { brush(row + 4 * X, t, X, r); },
        [](int) {});
  }
}

template <class Brush>
void PaintRows(const Plan& p, const Brush& brush, int rowFirst, int rowLast) {
  PaintRowsBody(p, brush, rowFirst, rowLast);
}

// The brushes on four pixels at a time, one pixel a lane, for AVX2. Each
// works out lane by lane what its one-pixel form above works out, with the
// same operations in the same order; `sample` holds the bilinear values of
// blue, green, red and alpha (only alpha for the brushes that use only the
// picture's shape), `old` the four destination pixels.
#define VANTORIL_LANES __attribute__((target("avx2"), always_inline)) inline

VANTORIL_LANES __m128i Byte(__m128i pixels, int k) {
  return _mm_and_si128(_mm_srli_epi32(pixels, 8 * k), _mm_set1_epi32(255));
}

VANTORIL_LANES __m128i Blend(__m128i value, __m128i weight, __m128i old, __m128i rest) {
  return _mm_srli_epi32(_mm_add_epi32(_mm_mullo_epi32(value, weight), _mm_mullo_epi32(old, rest)),
                        8);
}

// Blue, green and red back into pixels, with the alpha given.
VANTORIL_LANES __m128i Pack(__m128i blue, __m128i green, __m128i red, __m128i alpha) {
  return _mm_or_si128(_mm_or_si128(blue, _mm_slli_epi32(green, 8)),
                      _mm_or_si128(_mm_slli_epi32(red, 16), alpha));
}

VANTORIL_LANES __m128i AlphaOf(__m128i pixels) {
  return _mm_and_si128(pixels, _mm_set1_epi32(static_cast<int>(0xff000000u)));
}

VANTORIL_LANES __m128i LumaLanes(__m128i old) {
  const __m256d sum = _mm256_add_pd(
      _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(Byte(old, 0)), _mm256_set1_pd(kLumaBlue)),
                    _mm256_mul_pd(_mm256_cvtepi32_pd(Byte(old, 1)), _mm256_set1_pd(kLumaGreen))),
      _mm256_mul_pd(_mm256_cvtepi32_pd(Byte(old, 2)), _mm256_set1_pd(kLumaRed)));
  return _mm_and_si128(_mm256_cvttpd_epi32(sum), _mm_set1_epi32(255));
}

struct NormalLanes {
  static constexpr bool kColour = true;
  int keep;
  VANTORIL_LANES __m128i operator()(const __m128i* sample, __m128i old) const {
    const __m128i alpha = _mm_srli_epi32(_mm_mullo_epi32(sample[3], _mm_set1_epi32(keep)), 8);
    const __m128i rest = _mm_sub_epi32(_mm_set1_epi32(255), alpha);
    return Pack(
        Blend(sample[0], alpha, Byte(old, 0), rest), Blend(sample[1], alpha, Byte(old, 1), rest),
        Blend(sample[2], alpha, Byte(old, 2), rest), _mm_set1_epi32(static_cast<int>(0xff000000u)));
  }
};

struct DarkenLanes {
  static constexpr bool kColour = false;
  int L;
  VANTORIL_LANES __m128i operator()(const __m128i* sample, __m128i old) const {
    const __m128i f = _mm_sub_epi32(
        _mm_set1_epi32(255), _mm_srli_epi32(_mm_mullo_epi32(sample[3], _mm_set1_epi32(L)), 8));
    __m128i channel[3];
    for (int k = 0; k < 3; ++k) {
      channel[k] = _mm_srli_epi32(_mm_mullo_epi32(Byte(old, k), f), 8);
    }
    return Pack(channel[0], channel[1], channel[2], AlphaOf(old));
  }
};

struct LightenLanes {
  static constexpr bool kColour = false;
  int L;
  VANTORIL_LANES __m128i operator()(const __m128i* sample, __m128i old) const {
    const __m128i a = sample[3];
    const __m128i rest = _mm_sub_epi32(_mm_set1_epi32(255), a);
    __m128i channel[3];
    for (int k = 0; k < 3; ++k) {
      const __m128i d = Byte(old, k);
      const __m128i v = _mm_min_epi32(_mm_add_epi32(_mm_set1_epi32(L), d), _mm_set1_epi32(232));
      channel[k] =
          _mm_srli_epi32(_mm_add_epi32(_mm_mullo_epi32(d, rest), _mm_mullo_epi32(v, a)), 8);
    }
    return Pack(channel[0], channel[1], channel[2], AlphaOf(old));
  }
};

struct TintLanes {
  static constexpr bool kColour = false;
  int L;
  int tint[3];  // blue, green, red
  VANTORIL_LANES __m128i operator()(const __m128i* sample, __m128i old) const {
    const __m128i k = _mm_srli_epi32(_mm_mullo_epi32(sample[3], _mm_set1_epi32(L)), 8);
    const __m128i rest = _mm_sub_epi32(_mm_set1_epi32(255), k);
    const __m128i Y = LumaLanes(old);
    __m128i channel[3];
    for (int c = 0; c < 3; ++c) {
      const __m128i tinted = _mm_srli_epi32(_mm_mullo_epi32(Y, _mm_set1_epi32(tint[c])), 8);
      channel[c] = Blend(tinted, k, Byte(old, c), rest);
    }
    return Pack(channel[0], channel[1], channel[2], AlphaOf(old));
  }
};

struct NoColourLanes {
  static constexpr bool kColour = false;
  int L;
  VANTORIL_LANES __m128i operator()(const __m128i* sample, __m128i old) const {
    const __m128i k = _mm_srli_epi32(_mm_mullo_epi32(sample[3], _mm_set1_epi32(L)), 8);
    const __m128i rest = _mm_sub_epi32(_mm_set1_epi32(255), k);
    const __m128i Y = LumaLanes(old);
    return Pack(Blend(Y, k, Byte(old, 0), rest), Blend(Y, k, Byte(old, 1), rest),
                Blend(Y, k, Byte(old, 2), rest), AlphaOf(old));
  }
};

#undef VANTORIL_LANES

// Where the four taps of the pixels at lane k of uu, vv lie, one pixel a
// lane, with their weights. `mask` gets the lanes that lie on the picture;
// offsets[t][k] is tap t's byte offset from srcTop (taps 00, 10, 01, 11; 10
// and 11 only where hd != 1). The offsets of pixels outside are 0, which
// reads the source's top row.
struct FourPlaces {
  alignas(32) int64_t offsets[4][4];
  __m256d fx;
  __m256d fy;
  __m128i mask;
};

// The taps' values: the part of Taps that the vector paths share.
struct FourTaps {
  __m128i t00;
  __m128i t10;
  __m128i t01;
  __m128i t11;
};

__attribute__((target("avx2"), always_inline)) inline void StoreOffsets(int64_t* out,
                                                                        __m128i offset,
                                                                        __m128i mask) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(out),
                     _mm256_cvtepi32_epi64(_mm_and_si128(offset, mask)));
}

// False when no lane lies on the picture.
__attribute__((target("avx2"), always_inline)) inline bool LocateFour(const Plan& p, __m256d uu,
                                                                      __m256d vv, FourPlaces& f) {
  const __m256d zero = _mm256_setzero_pd();
  const __m256d inside = _mm256_and_pd(
      _mm256_and_pd(_mm256_cmp_pd(uu, zero, _CMP_GE_OQ), _mm256_cmp_pd(vv, zero, _CMP_GE_OQ)),
      _mm256_and_pd(_mm256_cmp_pd(uu, _mm256_set1_pd(p.uMax), _CMP_LE_OQ),
                    _mm256_cmp_pd(vv, _mm256_set1_pd(p.vMax), _CMP_LE_OQ)));
  if (_mm256_movemask_pd(inside) == 0) {
    return false;
  }
  // The 64-bit lane masks as 32-bit ones.
  const __m128i mask = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
      _mm256_castpd_si256(inside), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
  f.mask = mask;
  const __m128i i = _mm256_cvttpd_epi32(_mm256_and_pd(uu, inside));
  const __m128i j = _mm256_cvttpd_epi32(_mm256_and_pd(vv, inside));
  f.fx = _mm256_sub_pd(uu, _mm256_cvtepi32_pd(i));
  f.fy = _mm256_sub_pd(vv, _mm256_cvtepi32_pd(j));
  const __m128i i1 =
      _mm_min_epi32(_mm_add_epi32(i, _mm_set1_epi32(p.hd)), _mm_set1_epi32(p.srcW - 1));
  const __m128i j1 =
      _mm_min_epi32(_mm_add_epi32(j, _mm_set1_epi32(p.vd)), _mm_set1_epi32(p.srcH - 1));
  const __m128i stride = _mm_set1_epi32(static_cast<int>(p.srcStride));
  const __m128i near = _mm_slli_epi32(i, 2);
  const __m128i far = _mm_slli_epi32(i1, 2);
  const __m128i row0 = _mm_mullo_epi32(j, stride);
  const __m128i row1 = _mm_mullo_epi32(j1, stride);
  // The offsets go through memory on purpose: four loads cost less than
  // moving each lane to a register, and plain loads less than a gather.
  StoreOffsets(f.offsets[0], _mm_sub_epi32(near, row0), mask);
  StoreOffsets(f.offsets[2], _mm_sub_epi32(near, row1), mask);
  if (p.hd != 1) {
    StoreOffsets(f.offsets[1], _mm_sub_epi32(far, row0), mask);
    StoreOffsets(f.offsets[3], _mm_sub_epi32(far, row1), mask);
  }
  __asm__("" : "+m"(f.offsets));
  return true;
}

__attribute__((target("avx2"), always_inline)) inline FourTaps ReadFour(const Plan& p,
                                                                        const FourPlaces& f) {
  FourTaps t;
  if (p.hd == 1) {
    // Both columns of a tap in one read. Where the far column is cut back
    // to the last one, u lies on the last column exactly and its weight is
    // 0, so the pixel read instead (the next in memory, at worst the block's
    // spare bytes) does not count.
    const auto pairs = [&](const int64_t* o, __m128i& nearColumn, __m128i& farColumn) {
      const auto two = [&](int a, int b) {
        const __m128i low = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p.srcTop + o[a]));
        return _mm_castpd_ps(
            _mm_loadh_pd(_mm_castsi128_pd(low), reinterpret_cast<const double*>(p.srcTop + o[b])));
      };
      const __m128 first = two(0, 1);
      const __m128 second = two(2, 3);
      nearColumn = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
      farColumn = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
    };
    pairs(f.offsets[0], t.t00, t.t10);
    pairs(f.offsets[2], t.t01, t.t11);
  } else {
    const auto tap = [&](const int64_t* o) {
      int q[4];
      for (int k = 0; k < 4; ++k) {
        std::memcpy(&q[k], p.srcTop + o[k], 4);
      }
      return _mm_setr_epi32(q[0], q[1], q[2], q[3]);
    };
    t.t00 = tap(f.offsets[0]);
    t.t10 = tap(f.offsets[1]);
    t.t01 = tap(f.offsets[2]);
    t.t11 = tap(f.offsets[3]);
  }
  return t;
}

// The bilinear values of the four located pixels, as Taps works them out:
// blue, green, red and alpha in sample[0..3] (only alpha unless kColour).
template <bool kColour>
__attribute__((target("avx2"), always_inline)) inline void SampleFour(const Plan& p,
                                                                      const FourPlaces& places,
                                                                      __m128i* sample) {
  const FourTaps taps = ReadFour(p, places);
  const __m256d fx = places.fx;
  const __m256d fy = places.fy;
  const __m128i t00 = taps.t00;
  const __m128i t10 = taps.t10;
  const __m128i t01 = taps.t01;
  const __m128i t11 = taps.t11;
  if constexpr (!kColour) {
    // Four equal alphas, as inside an opaque picture, are the value exactly:
    // every difference in the arithmetic is 0.
    const __m128i differ = _mm_or_si128(
        _mm_or_si128(_mm_xor_si128(t00, t10), _mm_xor_si128(t01, t11)), _mm_xor_si128(t00, t01));
    if (_mm_testz_si128(differ, AlphaOf(_mm_set1_epi32(-1)))) {
      sample[3] = Byte(t00, 3);
      return;
    }
  }
  for (int k = kColour ? 0 : 3; k < 4; ++k) {
    const __m128i a = Byte(t00, k);
    const __m128i b = Byte(t10, k);
    const __m128i c = Byte(t01, k);
    const __m128i e = Byte(t11, k);
    const __m256d top = _mm256_add_pd(_mm256_cvtepi32_pd(a),
                                      _mm256_mul_pd(_mm256_cvtepi32_pd(_mm_sub_epi32(b, a)), fx));
    const __m256d bottom = _mm256_add_pd(
        _mm256_cvtepi32_pd(c), _mm256_mul_pd(_mm256_cvtepi32_pd(_mm_sub_epi32(e, c)), fx));
    sample[k] =
        _mm256_cvttpd_epi32(_mm256_add_pd(top, _mm256_mul_pd(_mm256_sub_pd(bottom, top), fy)));
  }
}

// Four registers of four lanes each turned so that register k holds lane k
// of every one.
__attribute__((target("avx2"), always_inline)) inline void Transpose(__m256d* m) {
  const __m256d a = _mm256_unpacklo_pd(m[0], m[1]);
  const __m256d b = _mm256_unpackhi_pd(m[0], m[1]);
  const __m256d c = _mm256_unpacklo_pd(m[2], m[3]);
  const __m256d d = _mm256_unpackhi_pd(m[2], m[3]);
  m[0] = _mm256_permute2f128_pd(a, c, 0x20);
  m[1] = _mm256_permute2f128_pd(b, d, 0x20);
  m[2] = _mm256_permute2f128_pd(a, c, 0x31);
  m[3] = _mm256_permute2f128_pd(b, d, 0x31);
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

// A group of rows walked four rows and four pixels at a time. The u and v of
// the four rows are stepped side by side, one row a lane, each lane adding
// exactly as WalkRow does, so the chain of additions along a row is paid
// once for four rows. Each block of four columns is then turned into four
// pixels of one row (StepBlock), whose inside test, taps and bilinear values
// run in lanes; the last columns, fewer than four, go one at a time
// (WalkTail). At every column the rows come in order, so a buffer row that
// two display rows share sees them as in the plain path.
struct GroupWalk {
  RowGroup group;
  Span spans[4];
  int X = 0;   // the next block's first column
  int hi = 0;  // blocks while X + 4 <= hi
  __m256d uu;
  __m256d vv;

  // Whether row k has columns in the block at X.
  bool InBlock(int k) const { return X < spans[k].last && X + 4 > spans[k].first; }
};

// False when no row of the group has a column to visit.
__attribute__((target("avx2"), always_inline)) inline bool StartGroup(const Plan& p,
                                                                      const RowGroup& group,
                                                                      GroupWalk& w) {
  w.group = group;
  alignas(32) double us[4];
  alignas(32) double vs[4];
  int lo = p.colEnd;
  w.hi = p.colBegin;
  for (int k = 0; k < 4; ++k) {
    // Lanes without a row of their own repeat the last one and paint nothing.
    p.RowStart(group.rows[std::min(k, group.count - 1)], us[k], vs[k]);
    w.spans[k] = k >= group.count ? Span{p.colBegin, p.colBegin}
                 : p.rowSpans     ? RowSpan(p, us[k], vs[k])
                                  : Span{p.colBegin, p.colEnd};
    if (w.spans[k].first < w.spans[k].last) {
      lo = std::min(lo, w.spans[k].first);
      w.hi = std::max(w.hi, w.spans[k].last);
    }
  }
  if (lo >= w.hi) {
    return false;
  }
  const __m256d du = _mm256_set1_pd(p.du);
  const __m256d dv = _mm256_set1_pd(p.dv);
  w.uu = _mm256_load_pd(us);
  w.vv = _mm256_load_pd(vs);
  for (w.X = p.colBegin; w.X < lo; ++w.X) {
    w.uu = _mm256_add_pd(w.uu, du);
    w.vv = _mm256_add_pd(w.vv, dv);
  }
  return true;
}

// u4[k], v4[k]: row k at the columns X .. X + 3; steps past them.
__attribute__((target("avx2"), always_inline)) inline void StepBlock(const Plan& p, GroupWalk& w,
                                                                     __m256d* u4, __m256d* v4) {
  const __m256d du = _mm256_set1_pd(p.du);
  const __m256d dv = _mm256_set1_pd(p.dv);
  u4[0] = w.uu;
  v4[0] = w.vv;
  for (int k = 1; k < 4; ++k) {
    u4[k] = _mm256_add_pd(u4[k - 1], du);
    v4[k] = _mm256_add_pd(v4[k - 1], dv);
  }
  w.uu = _mm256_add_pd(u4[3], du);
  w.vv = _mm256_add_pd(v4[3], dv);
  Transpose(u4);
  Transpose(v4);
}

// Every row of a block is located before any is read, so that the reads do
// not wait on the offsets just stored. on[k]: row k has a pixel on the picture.
__attribute__((target("avx2"), always_inline)) inline void LocateBlock(
    const Plan& p, const GroupWalk& w, const __m256d* u4, const __m256d* v4, FourPlaces* places,
    bool* on) {
  for (int k = 0; k < w.group.count; ++k) {
    on[k] = w.InBlock(k) && LocateFour(p, u4[k], v4[k], places[k]);
  }
}

// pixel(k, X, taps) for each pixel of row k from X on that lies on the picture.
template <class Pixel>
__attribute__((target("avx2"), always_inline)) inline void WalkTail(const Plan& p,
                                                                    const GroupWalk& w,
                                                                    Pixel&& pixel) {
  alignas(32) double us[4];
  alignas(32) double vs[4];
  _mm256_store_pd(us, w.uu);
  _mm256_store_pd(vs, w.vv);
  for (int k = 0; k < w.group.count; ++k) {
    double u = us[k];
    double v = vs[k];
    for (int c = w.X; c < w.spans[k].last; ++c, u += p.du, v += p.dv) {
      if (c >= w.spans[k].first && InsideAt(p, u, v)) {
        pixel(k, c, MakeTaps(p, u, v));
      }
    }
  }
}

// The rows of a brush on the vector path. Pixels outside the picture keep
// their bytes: the store blends by the inside mask.
template <class Lanes, class Single>
__attribute__((target("avx2"))) void PaintLanesAvx2(const Plan& p, const Lanes& lanes,
                                                    const Single& single, int rowFirst,
                                                    int rowLast) {
  int r = rowFirst;
  for (RowGroup group = NextRows(p, r, rowLast); group.count > 0; group = NextRows(p, r, rowLast)) {
    GroupWalk w;
    if (!StartGroup(p, group, w)) {
      continue;
    }
    uint8_t* dest[4];
    for (int k = 0; k < group.count; ++k) {
      dest[k] = p.DestRow(group.rows[k]);
    }
    for (; w.X + 4 <= w.hi; w.X += 4) {
      __m256d u4[4];
      __m256d v4[4];
      StepBlock(p, w, u4, v4);
      FourPlaces places[4];
      bool on[4];
      LocateBlock(p, w, u4, v4, places, on);
      for (int k = 0; k < group.count; ++k) {
        if (on[k]) {
          __m128i sample[4];
          SampleFour<Lanes::kColour>(p, places[k], sample);
          uint8_t* d = dest[k] + 4 * w.X;
          const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                           _mm_blendv_epi8(old, lanes(sample, old), places[k].mask));
        }
      }
    }
    WalkTail(p, w, [&](int k, int X, const Taps& taps) {
      single(dest[k] + 4 * X, taps, X, group.rows[k]);
    });
  }
}

#define VANTORIL_AVX512 "avx2,avx512f,avx512bw,avx512vl,avx512dq"
// GCC 12 takes the undefined registers that the AVX-512 intrinsics start
// from for uninitialised values.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Eight of the four-lane bilinear values at once: half h of the pixel-major
// taps (pixels 2h and 2h + 1, four channels each) with their pixels'
// weights, each channel worked out as Taps::Channel does.
__attribute__((target(VANTORIL_AVX512), always_inline)) inline __m256i BilinearHalf(
    __m256i a, __m256i ba, __m256i c, __m256i ec, __m512d fx, __m512d fy) {
  const __m512d top =
      _mm512_add_pd(_mm512_cvtepi32_pd(a), _mm512_mul_pd(_mm512_cvtepi32_pd(ba), fx));
  const __m512d bottom =
      _mm512_add_pd(_mm512_cvtepi32_pd(c), _mm512_mul_pd(_mm512_cvtepi32_pd(ec), fx));
  return _mm512_cvttpd_epi32(_mm512_add_pd(top, _mm512_mul_pd(_mm512_sub_pd(bottom, top), fy)));
}

// The bilinear values of four pixels (16 lanes, pixel by pixel with their
// four channels side by side) in double precision, as Taps::Channel works
// each out.
__attribute__((target(VANTORIL_AVX512), always_inline)) inline __m512i BilinearDouble(
    __m512i a, __m512i ba, __m512i c, __m512i ec, __m256d fx4, __m256d fy4) {
  // Which pixel's weight each lane of a half takes.
  const __m512i firstPair = _mm512_setr_epi64(0, 0, 0, 0, 1, 1, 1, 1);
  const __m512i secondPair = _mm512_setr_epi64(2, 2, 2, 2, 3, 3, 3, 3);
  const __m512d fx = _mm512_castpd256_pd512(fx4);
  const __m512d fy = _mm512_castpd256_pd512(fy4);
  const __m256i low =
      BilinearHalf(_mm512_castsi512_si256(a), _mm512_castsi512_si256(ba), _mm512_castsi512_si256(c),
                   _mm512_castsi512_si256(ec), _mm512_permutexvar_pd(firstPair, fx),
                   _mm512_permutexvar_pd(firstPair, fy));
  const __m256i high =
      BilinearHalf(_mm512_extracti64x4_epi64(a, 1), _mm512_extracti64x4_epi64(ba, 1),
                   _mm512_extracti64x4_epi64(c, 1), _mm512_extracti64x4_epi64(ec, 1),
                   _mm512_permutexvar_pd(secondPair, fx), _mm512_permutexvar_pd(secondPair, fy));
  return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// Eight offsets of two rows' pixels into each row's places.
__attribute__((target(VANTORIL_AVX512), always_inline)) inline void StoreHalves(int64_t* low,
                                                                                int64_t* high,
                                                                                __m512i offsets) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(low), _mm512_castsi512_si256(offsets));
  _mm256_store_si256(reinterpret_cast<__m256i*>(high), _mm512_extracti64x4_epi64(offsets, 1));
}

// LocateFour for two rows of a block at once, eight pixels a register: rows
// k and k + 1 in the low and high halves of uu and vv, of which only `lanes`
// are wanted. Returns the lanes that lie on the picture.
__attribute__((target(VANTORIL_AVX512), always_inline)) inline __mmask8 LocateEight(
    const Plan& p, __m512d uu, __m512d vv, __mmask8 lanes, FourPlaces& low, FourPlaces& high) {
  const __m512d zero = _mm512_setzero_pd();
  const __mmask8 inside = lanes & _mm512_cmp_pd_mask(uu, zero, _CMP_GE_OQ) &
                          _mm512_cmp_pd_mask(vv, zero, _CMP_GE_OQ) &
                          _mm512_cmp_pd_mask(uu, _mm512_set1_pd(p.uMax), _CMP_LE_OQ) &
                          _mm512_cmp_pd_mask(vv, _mm512_set1_pd(p.vMax), _CMP_LE_OQ);
  if (inside == 0) {
    return 0;
  }
  const __m256i mask = _mm256_maskz_set1_epi32(inside, -1);
  low.mask = _mm256_castsi256_si128(mask);
  high.mask = _mm256_extracti128_si256(mask, 1);
  const __m256i i = _mm512_maskz_cvttpd_epi32(inside, uu);
  const __m256i j = _mm512_maskz_cvttpd_epi32(inside, vv);
  const __m512d fx = _mm512_sub_pd(uu, _mm512_cvtepi32_pd(i));
  const __m512d fy = _mm512_sub_pd(vv, _mm512_cvtepi32_pd(j));
  low.fx = _mm512_castpd512_pd256(fx);
  high.fx = _mm512_extractf64x4_pd(fx, 1);
  low.fy = _mm512_castpd512_pd256(fy);
  high.fy = _mm512_extractf64x4_pd(fy, 1);
  const __m256i j1 =
      _mm256_min_epi32(_mm256_add_epi32(j, _mm256_set1_epi32(p.vd)), _mm256_set1_epi32(p.srcH - 1));
  const __m256i stride = _mm256_set1_epi32(static_cast<int>(p.srcStride));
  const __m256i near = _mm256_slli_epi32(i, 2);
  const __m256i row0 = _mm256_mullo_epi32(j, stride);
  const __m256i row1 = _mm256_mullo_epi32(j1, stride);
  // Pixels outside read at offset 0, as LocateFour has them.
  StoreHalves(low.offsets[0], high.offsets[0],
              _mm512_cvtepi32_epi64(_mm256_maskz_sub_epi32(inside, near, row0)));
  StoreHalves(low.offsets[2], high.offsets[2],
              _mm512_cvtepi32_epi64(_mm256_maskz_sub_epi32(inside, near, row1)));
  if (p.hd != 1) {
    const __m256i far =
        _mm256_slli_epi32(_mm256_min_epi32(_mm256_add_epi32(i, _mm256_set1_epi32(p.hd)),
                                           _mm256_set1_epi32(p.srcW - 1)),
                          2);
    StoreHalves(low.offsets[1], high.offsets[1],
                _mm512_cvtepi32_epi64(_mm256_maskz_sub_epi32(inside, far, row0)));
    StoreHalves(low.offsets[3], high.offsets[3],
                _mm512_cvtepi32_epi64(_mm256_maskz_sub_epi32(inside, far, row1)));
  }
  __asm__("" : "+m"(low.offsets), "+m"(high.offsets));
  return inside;
}

// Bits k of a four-pixel mask spread to the four lanes of pixel k.
constexpr std::array<uint16_t, 16> MakeSpreads() {
  std::array<uint16_t, 16> table{};
  for (unsigned m = 0; m < 16; ++m) {
    for (unsigned k = 0; k < 4; ++k) {
      if ((m >> k) & 1U) table[m] = static_cast<uint16_t>(table[m] | (0xfU << (4 * k)));
    }
  }
  return table;
}
constexpr std::array<uint16_t, 16> kSpreads = MakeSpreads();

__attribute__((target(VANTORIL_AVX512), always_inline)) inline __mmask16 Spread(__mmask8 pixels) {
  return kSpreads[pixels & 0xf];
}

// The pixels whose weight is a multiple of 1/64.
__attribute__((target(VANTORIL_AVX512), always_inline)) inline __mmask8 SixtyFourths(__m256d f) {
  const __m256d scaled = _mm256_mul_pd(f, _mm256_set1_pd(64));
  return _mm256_cmp_pd_mask(
      scaled, _mm256_round_pd(scaled, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC), _CMP_EQ_OQ);
}

// BilinearDouble's values where single precision settles them, false where it
// cannot (the caller then works the block out in double precision).
//
// Every value is a + ba fx + (c + ec fx - a - ba fx) fy with bytes a, c,
// differences ba, ec and weights in [0, 1): in [0, 255], all intermediate
// magnitudes below 512. Rounding fx and fy to single precision moves them by
// at most 2^-24, and each of the four operations (three fused multiply-adds,
// each rounded once, and a subtraction) adds at most 2^-15 (one unit in the
// last place below 512), in any rounding mode; carried through, the
// single-precision value lies within 3.4e-4 of the exact one, and the
// double-precision value within 1e-12. Where the single-precision value is
// farther than kNearInteger from every integer, no integer lies between the
// two, so both truncate alike. Both are moreover exact, and so equal, where
// fx and fy are multiples of 1/64 (every intermediate is then a multiple of
// 1/4096 below 512, 21 bits), where the two rows come out equal (fx = 0 or
// equal columns, and equal rows: the value is a) and where fy = 0 with fx = 0
// or equal columns (a again). The other lanes, near an integer, need double
// precision.
__attribute__((target(VANTORIL_AVX512), always_inline)) inline bool BilinearSingle(
    __m512i a, __m512i ba, __m512i c, __m512i ec, __m256d fx4, __m256d fy4, __mmask16 on,
    __m512i& sample) {
  constexpr float kNearInteger = 1.0f / 1024;
  const __m512i perPixel = _mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
  const __m512 fx = _mm512_permutexvar_ps(perPixel, _mm512_castps128_ps512(_mm256_cvtpd_ps(fx4)));
  const __m512 fy = _mm512_permutexvar_ps(perPixel, _mm512_castps128_ps512(_mm256_cvtpd_ps(fy4)));
  const __m512 top = _mm512_fmadd_ps(_mm512_cvtepi32_ps(ba), fx, _mm512_cvtepi32_ps(a));
  const __m512 bottom = _mm512_fmadd_ps(_mm512_cvtepi32_ps(ec), fx, _mm512_cvtepi32_ps(c));
  const __m512 value = _mm512_fmadd_ps(_mm512_sub_ps(bottom, top), fy, top);
  sample = _mm512_cvttps_epi32(value);
  // value minus the nearest integer, exactly.
  const __m512 offset = _mm512_reduce_ps(value, _MM_FROUND_TO_NEAREST_INT);
  const __mmask16 near =
      _mm512_cmp_ps_mask(_mm512_abs_ps(offset), _mm512_set1_ps(kNearInteger), _CMP_LE_OQ);
  const __m512i none = _mm512_setzero_si512();
  const __mmask16 sameColumns =
      _mm512_cmpeq_epi32_mask(ba, none) & _mm512_cmpeq_epi32_mask(ec, none);
  const __mmask16 sameRows = _mm512_cmpeq_epi32_mask(a, c);
  // Four equal taps (an opaque picture's alpha, say) are the common case.
  const __mmask16 open = near & on & ~(sameColumns & sameRows);
  if (open == 0) {
    return true;
  }
  const __m256d zero = _mm256_setzero_pd();
  const __mmask16 flatX = Spread(_mm256_cmp_pd_mask(fx4, zero, _CMP_EQ_OQ)) | sameColumns;
  const __mmask16 flatY = Spread(_mm256_cmp_pd_mask(fy4, zero, _CMP_EQ_OQ)) | sameRows;
  const __mmask16 exact = (flatX & flatY) | Spread(SixtyFourths(fx4) & SixtyFourths(fy4));
  return (open & ~exact) == 0;
}

// The normal brush with AVX-512: the taps of four pixels are widened to one
// register, pixel by pixel with their four channels side by side, so the
// bilinear work of all channels of four pixels runs in one single-precision
// instruction, or of two in double precision where single precision cannot
// settle the values (BilinearSingle). Every channel gets the value of
// Taps::Channel and sees the blend of NormalBrush in its order.
__attribute__((target(VANTORIL_AVX512))) void PaintNormalAvx512(const Plan& p,
                                                                const NormalBrush& single,
                                                                int rowFirst, int rowLast) {
  const __m256i keep = _mm256_set1_epi16(static_cast<int16_t>(single.keep));
  const __m256i full = _mm256_set1_epi16(255);
  const __m256i opaque = _mm256_set1_epi64x(int64_t{255} << 48);  // alpha of each pixel
  // Some pictures and scales put many values near integers (a ramp of
  // three per pixel shown at 9/8, say): where most blocks of a group of rows
  // needed double precision, the next groups go there straight away.
  constexpr int kDoubleGroups = 8;
  int doubleGroups = 0;
  int r = rowFirst;
  for (RowGroup group = NextRows(p, r, rowLast); group.count > 0; group = NextRows(p, r, rowLast)) {
    GroupWalk w;
    if (!StartGroup(p, group, w)) {
      continue;
    }
    const bool trySingle = doubleGroups == 0;
    doubleGroups = std::max(doubleGroups - 1, 0);
    int blocks = 0;
    int doubles = 0;
    uint8_t* dest[4];
    for (int k = 0; k < group.count; ++k) {
      dest[k] = p.DestRow(group.rows[k]);
    }
    // The last block may reach past the visited columns: its lanes there
    // are left out of every read and write.
    for (; w.X < w.hi; w.X += 4) {
      __m256d u4[4];
      __m256d v4[4];
      StepBlock(p, w, u4, v4);
      const unsigned columns = (1U << std::min(w.hi - w.X, 4)) - 1;
      FourPlaces places[4];
      __mmask8 on[4];
      for (int k = 0; k < group.count; k += 2) {
        const __mmask8 inside =
            LocateEight(p, _mm512_insertf64x4(_mm512_castpd256_pd512(u4[k]), u4[k + 1], 1),
                        _mm512_insertf64x4(_mm512_castpd256_pd512(v4[k]), v4[k + 1], 1),
                        static_cast<__mmask8>(columns | (columns << 4)), places[k], places[k + 1]);
        on[k] = w.InBlock(k) ? static_cast<__mmask8>(inside & 0xf) : 0;
        on[k + 1] = w.InBlock(k + 1) ? static_cast<__mmask8>(inside >> 4) : 0;
      }
      for (int k = 0; k < group.count; ++k) {
        if (on[k] == 0) {
          continue;
        }
        const FourPlaces& place = places[k];
        const FourTaps f = ReadFour(p, place);
        const __m512i a = _mm512_cvtepu8_epi32(f.t00);
        const __m512i ba = _mm512_sub_epi32(_mm512_cvtepu8_epi32(f.t10), a);
        const __m512i c = _mm512_cvtepu8_epi32(f.t01);
        const __m512i ec = _mm512_sub_epi32(_mm512_cvtepu8_epi32(f.t11), c);
        __m512i sample;
        ++blocks;
        if (!trySingle ||
            !BilinearSingle(a, ba, c, ec, place.fx, place.fy,
                            static_cast<__mmask16>(_mm_movemask_epi8(place.mask)), sample)) {
          sample = BilinearDouble(a, ba, c, ec, place.fx, place.fy);
          ++doubles;
        }
        // The blend in 16-bit lanes: no product or sum of it passes 255 * 255.
        const __m256i value = _mm512_cvtepi32_epi16(sample);
        const __m256i alpha = _mm256_srli_epi16(
            _mm256_mullo_epi16(
                _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(value, _MM_SHUFFLE(3, 3, 3, 3)),
                                       _MM_SHUFFLE(3, 3, 3, 3)),
                keep),
            8);
        const __m256i rest = _mm256_sub_epi16(full, alpha);
        uint8_t* d = dest[k] + 4 * w.X;
        const __m256i old = _mm256_cvtepu8_epi16(_mm_maskz_loadu_epi32(on[k], d));
        const __m256i blended = _mm256_or_si256(
            _mm256_srli_epi16(
                _mm256_add_epi16(_mm256_mullo_epi16(value, alpha), _mm256_mullo_epi16(old, rest)),
                8),
            opaque);
        _mm_mask_storeu_epi32(d, on[k], _mm256_cvtepi16_epi8(blended));
      }
    }
    if (trySingle && 2 * doubles > blocks) {
      doubleGroups = kDoubleGroups;
    }
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef VANTORIL_AVX512

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
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

bool UsesAvx2(const Plan& p) {
  return p.vector == VectorPath::kAvx2 || p.vector == VectorPath::kAvx512 ||
         (p.vector == VectorPath::kAuto && HasAvx2());
}

// The picture's alpha at every visited column of a group of rows where it
// lies on the picture; row k's at alphas + k * (colEnd - colBegin).
__attribute__((target("avx2"))) void GroupAlphasAvx2(const Plan& p, const RowGroup& group,
                                                     int* alphas) {
  const int width = p.colEnd - p.colBegin;
  GroupWalk w;
  if (!StartGroup(p, group, w)) {
    return;
  }
  for (; w.X + 4 <= w.hi; w.X += 4) {
    __m256d u4[4];
    __m256d v4[4];
    StepBlock(p, w, u4, v4);
    FourPlaces places[4];
    bool on[4];
    LocateBlock(p, w, u4, v4, places, on);
    for (int k = 0; k < group.count; ++k) {
      if (on[k]) {
        __m128i sample[4];
        SampleFour<false>(p, places[k], sample);
        int* out = alphas + k * width + w.X - p.colBegin;
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_blendv_epi8(before, sample[3], places[k].mask));
      }
    }
  }
  WalkTail(p, w, [&](int k, int X, const Taps& taps) {
    alphas[k * width + X - p.colBegin] = taps.Alpha();
  });
}

void GroupAlphasPlain(const Plan& p, const RowGroup& group, int* alphas) {
  const int width = p.colEnd - p.colBegin;
  for (int k = 0; k < group.count; ++k) {
    WalkRow(
        p, group.rows[k],
        [&](int X, const Taps& taps) { alphas[k * width + X - p.colBegin] = taps.Alpha(); },
        [](int) {});
  }
}

// The alphas of a picture's painted rows, worked out four rows ahead (on the
// vector path where chosen) for the brushes that then paint pixel by pixel
// in order, each reading what the pixels before it painted. -1 marks a
// pixel off the picture.
class AlphaRows {
 public:
  explicit AlphaRows(const Plan& p)
      : p_(p),
        width_(p.colEnd - p.colBegin),
        alphas_(4 * static_cast<size_t>(width_)),
        avx2_(UsesAvx2(p)) {}

  // Row r's alpha at column X is Row(r)[X - colBegin]; r must be painted.
  const int* Row(int r) {
    for (int k = 0; k < group_.count; ++k) {
      if (group_.rows[k] == r) {
        return alphas_.data() + k * static_cast<size_t>(width_);
      }
    }
    int next = r;
    group_ = NextRows(p_, next, p_.rowEnd);
    std::fill(alphas_.begin(), alphas_.end(), -1);
    if (avx2_) {
      GroupAlphasAvx2(p_, group_, alphas_.data());
    } else {
      GroupAlphasPlain(p_, group_, alphas_.data());
    }
    return alphas_.data();
  }

 private:
  const Plan& p_;
  int width_;
  std::vector<int> alphas_;
  bool avx2_;
  RowGroup group_;
};

// Walks the visited columns of a row whose alphas are given: `inside` for
// every pixel on the picture, `step` after every column.
template <class Inside, class Step>
[[gnu::always_inline]] inline void WalkAlphas(const Plan& p, const int* alphas, Inside&& inside,
                                              Step&& step) {
  for (int X = p.colBegin; X < p.colEnd; ++X) {
    const int a = alphas[X - p.colBegin];
    if (a >= 0) {
      inside(X, a);
    }
    step(X);
  }
}

// The brush's rows on the instruction set chosen.
template <class Brush, class Lanes>
void PaintRowsOn(const Plan& p, const Brush& brush, const Lanes& lanes, int rowFirst, int rowLast) {
  if constexpr (std::is_same_v<Brush, NormalBrush>) {
    if (UsesAvx512(p)) {
      PaintNormalAvx512(p, brush, rowFirst, rowLast);
      return;
    }
  }
  if (UsesAvx2(p)) {
    PaintLanesAvx2(p, lanes, brush, rowFirst, rowLast);
  } else {
    PaintRows(p, brush, rowFirst, rowLast);
  }
}

// For brushes that read only the pixel they paint: the two halves of the
// visited rows go to two threads when that pays. The result is the same as
// on one thread, because no pixel depends on another.
template <class Brush, class Lanes>
void PaintIndependentRows(const Plan& p, const Brush& brush, PaintThreads threads,
                          const Lanes& wide) {
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
      helper.emplace(
          [&p, &brush, &wide, middle] { PaintRowsOn(p, brush, wide, p.rowBegin, middle); });
    } catch (const std::exception&) {
      // No thread to be had: paint everything here.
    }
    if (helper) {
      PaintRowsOn(p, brush, wide, middle, p.rowEnd);
      helper->join();
      return;
    }
  }
  PaintRowsOn(p, brush, wide, p.rowBegin, p.rowEnd);
}

// Each pixel takes its block's corner pixel as painted so far, so the rows
// run in order.
void PaintPixelate(const Plan& p) {
  const int n = (3 * p.R16) / 2;  // block side
  AlphaRows alphaRows(p);
  for (int r = p.rowBegin; r < p.rowEnd; ++r) {
    if (!p.Painted(r)) {
      continue;
    }
    uint8_t* row = p.DestRow(r);
    const uint8_t* blockRow = p.DestRow(r - r % n);
    int blockX = -n;  // the corner column of the block X lies in
    WalkAlphas(
        p, alphaRows.Row(r),
        [&](int X, int a) {
          if (X >= blockX + n) {
            blockX = X - X % n;
          }
          const uint8_t* block = blockRow + 4 * blockX;
          uint8_t* d = row + 4 * X;
          const int blue = block[0];
          const int green = block[1];
          const int red = block[2];
          d[0] = static_cast<uint8_t>((blue * a + d[0] * (255 - a)) >> 8);
          d[1] = static_cast<uint8_t>((green * a + d[1] * (255 - a)) >> 8);
          d[2] = static_cast<uint8_t>((red * a + d[2] * (255 - a)) >> 8);
        },
        [](int) {});
  }
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

// The running blur's sums per column: blue, green, red and the unused alpha.
constexpr int kColumnLanes = 4;

// One row of the running blur with the three sums side by side in lanes,
// each lane worked out as the plain row below does. `columns` holds column
// colBegin's sums, the others four apart (the fourth, the alpha's, is not
// used); `windowRows` rows are in the window, the painted one among them
// when rowInWindow.
__attribute__((target("avx2"))) void BlurRowAvx2(const Plan& p, int radius, int windowRows,
                                                 bool rowInWindow, int32_t* columns,
                                                 const int* alphas, uint8_t* row) {
  const auto column = [&](int X) {
    return columns + kColumnLanes * static_cast<ptrdiff_t>(X - p.colBegin);
  };
  const auto load = [](const int32_t* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
  };
  const __m128i threeLanes = _mm_setr_epi32(-1, -1, -1, 0);
  __m128i sum = _mm_setzero_si128();
  for (int X = std::max(0, p.colBegin - radius); X < std::min(p.colBegin + radius, p.colEnd); ++X) {
    sum = _mm_add_epi32(sum, load(column(X)));
  }
  for (int X = p.colBegin; X < p.colEnd; ++X) {
    // The window's slide to the next pixel, taken before this pixel's
    // write: with a radius of 1 or more it touches neither column written
    // here, and with 0 no sum is used.
    __m128i slide = _mm_setzero_si128();
    if (X + radius < p.colEnd) {
      slide = load(column(X + radius));
    }
    if (X - radius >= 0) {
      slide = _mm_sub_epi32(slide, load(column(X - radius)));
    }
    __m128i next = _mm_add_epi32(sum, slide);
    const int a = alphas[X - p.colBegin];
    if (a >= 0) {
      uint8_t* d = row + 4 * X;
      int32_t bytes;
      std::memcpy(&bytes, d, 4);
      const __m128i old = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes));
      const int count = (std::min(X + radius, p.colEnd) - std::max(0, X - radius)) * windowRows;
      __m128i average = old;
      if (count == 1) {
        average = sum;
      } else if (count > 1) {
        // DivideWindowSum in lanes: the reciprocal fits 32 bits from 2 on.
        const __m128i m = _mm_set1_epi32(static_cast<int>(kReciprocals[count]));
        const __m128i even = _mm_srli_epi64(_mm_mul_epu32(sum, m), 32);
        const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(sum, 32), m);
        average = _mm_blend_epi16(even, odd, 0xcc);
      }
      const __m128i painted =
          _mm_srli_epi32(_mm_add_epi32(_mm_mullo_epi32(average, _mm_set1_epi32(a)),
                                       _mm_mullo_epi32(old, _mm_set1_epi32(255 - a))),
                         8);
      // The alpha byte stays as it was.
      const __m128i out = _mm_blend_epi16(painted, old, 0xc0);
      const int32_t packed = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packus_epi32(out, out), out));
      std::memcpy(d, &packed, 4);
      if (rowInWindow) {
        const __m128i change = _mm_and_si128(_mm_sub_epi32(painted, old), threeLanes);
        int32_t* s = column(X);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(s), _mm_add_epi32(load(s), change));
        next = _mm_add_epi32(next, change);
      }
    }
    sum = next;
  }
}

// sums[i] += bytes[i] (or -=) for a row's pixels, alpha included.
void AddRowPlain(const uint8_t* bytes, int32_t* sums, int count, bool subtract) {
  for (int i = 0; i < count; ++i) {
    sums[i] += subtract ? -bytes[i] : bytes[i];
  }
}

// AddRowPlain eight sums at a time.
__attribute__((target("avx2"))) void AddRowAvx2(const uint8_t* bytes, int32_t* sums, int count,
                                                bool subtract) {
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i row =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + i)));
    auto* s = reinterpret_cast<__m256i*>(sums + i);
    const __m256i before = _mm256_loadu_si256(s);
    _mm256_storeu_si256(s,
                        subtract ? _mm256_sub_epi32(before, row) : _mm256_add_epi32(before, row));
  }
  AddRowPlain(bytes + i, sums + i, count - i, subtract);
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
  AlphaRows alphaRows(p);
  const int radius = p.R16;
  const int bottomLimit = p.rowEnd / p.fieldDiv;
  const int firstColumn = std::max(0, p.colBegin - radius);
  const int columns = p.colEnd - firstColumn;
  // A column's sums lie side by side as its pixels' bytes do, so that a row
  // is added in one sweep; the alpha's sum comes along unused.
  std::vector<int32_t> colSum(kColumnLanes * static_cast<size_t>(columns));
  auto column = [&](int X) { return colSum.data() + kColumnLanes * (X - firstColumn); };
  const bool avx2 = UsesAvx2(p);
  auto sweepRow = [&](int bufferRow, bool subtract) {
    (avx2 ? AddRowAvx2 : AddRowPlain)(p.DstRow(bufferRow) + 4 * firstColumn, colSum.data(),
                                      kColumnLanes * columns, subtract);
  };
  auto addRow = [&](int bufferRow) { sweepRow(bufferRow, false); };
  auto subtractRow = [&](int bufferRow) { sweepRow(bufferRow, true); };

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

    if (avx2) {
      BlurRowAvx2(p, radius, windowRows, rowInWindow, column(p.colBegin), alphaRows.Row(r),
                  p.DstRow(y));
      continue;
    }
    int32_t sum[3] = {0, 0, 0};
    for (int X = firstColumn; X < std::min(p.colBegin + radius, p.colEnd); ++X) {
      const int32_t* s = column(X);
      sum[0] += s[0];
      sum[1] += s[1];
      sum[2] += s[2];
    }
    uint8_t* row = p.DstRow(y);
    WalkAlphas(
        p, alphaRows.Row(r),
        [&](int X, int a) {
          uint8_t* d = row + 4 * X;
          // Read once: the stores below may alias anything.
          const int old[3] = {d[0], d[1], d[2]};
          const int count = (std::min(X + radius, p.colEnd) - std::max(0, X - radius)) * windowRows;
          int painted[3];
          for (int k = 0; k < 3; ++k) {
            const int average = count > 0 ? DivideWindowSum(sum[k], count) : old[k];
            painted[k] = (average * a + old[k] * (255 - a)) >> 8;
          }
          if (rowInWindow) {
            int32_t* s = column(X);
            for (int k = 0; k < 3; ++k) {
              s[k] += painted[k] - old[k];
              sum[k] += painted[k] - old[k];
            }
          }
          for (int k = 0; k < 3; ++k) {
            d[k] = static_cast<uint8_t>(painted[k]);
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

// A small picture is asked into the cache as a whole before it is painted:
// its rows are read across, along the turned rows of the destination, and a
// read that waits for memory each time costs more than the painting.
void FetchSource(const Plan& p) {
  constexpr size_t kLargest = size_t{256} << 10;
  constexpr int kLine = 64;
  const size_t rowBytes = 4 * static_cast<size_t>(p.srcW);
  if (rowBytes * static_cast<size_t>(p.srcH) > kLargest) {
    return;
  }
  for (int j = 0; j < p.srcH; ++j) {
    const char* row = reinterpret_cast<const char*>(p.SrcRow(j));
    for (size_t b = 0; b < rowBytes; b += kLine) {
      _mm_prefetch(row + b, _MM_HINT_T1);
    }
  }
}

bool IsFinite(const KeyFrame& state) {
  return std::isfinite(state.x) && std::isfinite(state.y) && std::isfinite(state.width) &&
         std::isfinite(state.height) && std::isfinite(state.rotation) && std::isfinite(state.level);
}

// Fills everything but the row tables; false when nothing would be painted.
bool DrawModeIsValid(DrawMode mode) {
  return mode.fieldDiv >= 1 && mode.fieldDiv <= 10 && mode.lineStep >= 1 && mode.lineStep <= 10 &&
         mode.parity >= 0 && mode.parity <= 9;
}

// The brush a stored code paints: the one whose thousand the code lies in, any
// code below the first thousand painting normally; none past the last.
std::optional<Brush> PaintedBrush(Brush brush) {
  const int32_t code = BrushCode(brush);
  if (code >= kBrushEnd) {
    return std::nullopt;
  }
  if (code < BrushCode(Brush::kBlur)) {
    return Brush::kNormal;
  }
  return BrushOfCode(code / kBrushStep * kBrushStep);
}

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

}  // namespace

bool DrawPictureWith(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                     Brush brush, uint32_t tint, DrawMode drawMode, int stageW, int stageH,
                     const DrawPictureOptions& options) {
  if (!source.HasHeader() || !destination.HasHeader()) {
    return false;
  }
  // Both are read and written four bytes a pixel.
  if (source.BitsPerPixel() != 32 || destination.BitsPerPixel() != 32) {
    return false;
  }
  const std::optional<Brush> painted = PaintedBrush(brush);
  if (!painted) {
    return true;
  }
  try {
    Plan p;
    p.rowSpans = options.rowSpans;
    p.vector = options.vector;
    if (!PlanPicture(p, state, drawMode, source.Width(), source.Height(), destination.Width(),
                     destination.Height(), stageW, stageH)) {
      return true;
    }
    if (*painted == Brush::kPixelate && p.R16 == 0) {
      return true;
    }
    p.srcTop = source.RowPointer(p.srcH - 1);
    p.srcStride = source.Stride();
    p.dstTop = destination.RowPointer(p.dstH - 1);
    p.dstStride = destination.Stride();
    if (!BrushReadsNeighbours(brush)) {
      // Display rows whose buffer row lies in the band. The row walk does not
      // depend on where the visited rows start, so the band's pixels come
      // out as in the whole picture.
      const int64_t first = int64_t{std::max(options.bandFirst, 0)} * p.fieldDiv;
      const int64_t end = int64_t{std::max(options.bandEnd, 0)} * p.fieldDiv;
      p.rowBegin = static_cast<int>(std::max<int64_t>(p.rowBegin, first));
      p.rowEnd = static_cast<int>(std::min<int64_t>(p.rowEnd, end));
      if (p.rowBegin >= p.rowEnd) {
        return true;
      }
    }

    FetchSource(p);
    switch (*painted) {
      case Brush::kNormal:
        PaintIndependentRows(p, NormalBrush{255 - p.L}, options.threads, NormalLanes{255 - p.L});
        break;
      case Brush::kBlur:
        if (options.blur == BlurMethod::kDirect) {
          PaintBlurDirect(p, destination);
        } else {
          PaintBlurRunning(p);
        }
        break;
      case Brush::kPixelate:
        PaintPixelate(p);
        break;
      case Brush::kDarken:
        PaintIndependentRows(p, DarkenBrush{p.L}, options.threads, DarkenLanes{p.L});
        break;
      case Brush::kLighten:
        PaintIndependentRows(p, LightenBrush{p.L}, options.threads, LightenLanes{p.L});
        break;
      case Brush::kTint: {
        const TintBrush tintBrush{p.L, static_cast<int>((tint >> 16) & 255),
                                  static_cast<int>((tint >> 8) & 255),
                                  static_cast<int>(tint & 255)};
        const TintLanes tintLanes{p.L,
                                  {tintBrush.tintBlue, tintBrush.tintGreen, tintBrush.tintRed}};
        PaintIndependentRows(p, tintBrush, options.threads, tintLanes);
        break;
      }
      case Brush::kNoColour:
        PaintIndependentRows(p, NoColourBrush{p.L}, options.threads, NoColourLanes{p.L});
        break;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool ProcessorHasAvx2() {
  return HasAvx2();
}

bool ProcessorHasAvx512() {
  return HasAvx512();
}

bool BrushReadsNeighbours(Brush brush) {
  const std::optional<Brush> painted = PaintedBrush(brush);
  return painted == Brush::kBlur || painted == Brush::kPixelate;
}

bool DrawPicture(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                 Brush brush, uint32_t tint, DrawMode drawMode, int stageW, int stageH) {
  return DrawPictureWith(source, destination, state, brush, tint, drawMode, stageW, stageH,
                         DrawPictureOptions{});
}

}  // namespace vantoril

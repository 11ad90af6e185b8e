#include "engine/neighbour_brushes.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/alpha_rows.h"
#include "engine/box_average.h"
#include "engine/four_pixels.h"
#include "engine/pixel_brushes.h"

namespace vantoril::paint {
namespace {

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

// d's blue, green and red blended toward colour by alpha a.
inline void BlendColour(uint8_t* d, const int* colour, int a) {
  for (int k = 0; k < 3; ++k) {
    d[k] = static_cast<uint8_t>((colour[k] * a + d[k] * (255 - a)) >> 8);
  }
}

// The running blur's sums per column: blue, green, red and the unused alpha.
constexpr int kColumnLanes = 4;

// One row of the running blur with the three sums side by side in lanes,
// each lane worked out as the plain row below does. `columns` holds column
// colBegin's sums, the others four apart (the fourth, the alpha's, is not
// used); `windowRows` rows are in the window, the painted one among them
// when rowInWindow.
__attribute__((target("avx2,fma"))) void BlurRowAvx2(const Plan& p, int radius, int windowRows,
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
__attribute__((target("avx2,fma"))) void AddRowAvx2(const uint8_t* bytes, int32_t* sums, int count,
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

// One pixel of pixelate: d takes on the colour of its block's corner.
// The corner is read whole before d is written: they may be one pixel.
inline void PixelatePixel(const uint8_t* block, uint8_t* d, int a) {
  const int colour[3] = {block[0], block[1], block[2]};
  BlendColour(d, colour, a);
}

// A row of pixelate four pixels at a time, as the plain row paints it; a
// pixel's corner lies `corners[X - colBegin]` bytes into blockRow. Where the
// corners lie in this very row, they are painted first: each reads only
// itself, and every other pixel of its block, to the right of it, reads it
// as painted. No other pixel of the row is read.
__attribute__((target("avx2,fma"))) void PixelateRowAvx2(const Plan& p, int n, const int* alphas,
                                                         const int32_t* corners,
                                                         const uint8_t* blockRow, uint8_t* row) {
  const bool cornersHere = blockRow == row;
  if (cornersHere) {
    for (int X = (p.colBegin + n - 1) / n * n; X < p.colEnd; X += n) {
      const int a = alphas[X - p.colBegin];
      if (a >= 0) {
        PixelatePixel(row + 4 * X, row + 4 * X, a);
      }
    }
  }
  const auto load = [](const void* q) { return _mm_loadu_si128(static_cast<const __m128i*>(q)); };
  int X = p.colBegin;
  for (; X + 4 <= p.colEnd; X += 4) {
    const __m128i a = load(alphas + X - p.colBegin);
    const __m128i offsets = load(corners + X - p.colBegin);
    __m128i on = _mm_cmpgt_epi32(a, _mm_set1_epi32(-1));
    if (cornersHere) {
      const __m128i own = _mm_add_epi32(_mm_set1_epi32(4 * X), _mm_setr_epi32(0, 4, 8, 12));
      on = _mm_andnot_si128(_mm_cmpeq_epi32(offsets, own), on);
    }
    if (_mm_testz_si128(on, on)) {
      continue;
    }
    const __m128i corner = _mm_mask_i32gather_epi32(
        _mm_setzero_si128(), reinterpret_cast<const int*>(blockRow), offsets, on, 1);
    uint8_t* d = row + 4 * X;
    const __m128i old = load(d);
    const __m128i rest = _mm_sub_epi32(_mm_set1_epi32(255), a);
    const __m128i painted = Pack(Blend(Byte(corner, 0), a, Byte(old, 0), rest),
                                 Blend(Byte(corner, 1), a, Byte(old, 1), rest),
                                 Blend(Byte(corner, 2), a, Byte(old, 2), rest), AlphaOf(old));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_blendv_epi8(old, painted, on));
  }
  for (; X < p.colEnd; ++X) {
    const int a = alphas[X - p.colBegin];
    if (a >= 0 && !(cornersHere && X % n == 0)) {
      PixelatePixel(blockRow + corners[X - p.colBegin], row + 4 * X, a);
    }
  }
}

}  // namespace

// Each pixel takes its block's corner pixel as painted so far, so the rows
// run in order.
void PaintPixelate(const Plan& p) {
  const int n = (3 * p.R16) / 2;  // block side
  AlphaRows alphaRows(p);
  const bool avx2 = UsesAvx2(p);
  // The byte offset of each visited column's corner column in a row.
  std::vector<int32_t> corners;
  if (avx2) {
    corners.resize(static_cast<size_t>(p.colEnd - p.colBegin));
    for (int X = p.colBegin; X < p.colEnd; ++X) {
      corners[X - p.colBegin] = 4 * (X - X % n);
    }
  }
  for (int r = p.rowBegin; r < p.rowEnd; ++r) {
    if (!p.Painted(r)) {
      continue;
    }
    uint8_t* row = p.DestRow(r);
    const uint8_t* blockRow = p.DestRow(r - r % n);
    if (avx2) {
      PixelateRowAvx2(p, n, alphaRows.Row(r), corners.data(), blockRow, row);
      continue;
    }
    int blockX = -n;  // the corner column of the block X lies in
    WalkAlphas(
        p, alphaRows.Row(r),
        [&](int X, int a) {
          if (X >= blockX + n) {
            blockX = X - X % n;
          }
          PixelatePixel(blockRow + 4 * blockX, row + 4 * X, a);
        },
        [](int) {});
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
          BlendColour(d, average, t.Alpha());
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

}  // namespace vantoril::paint

#pragma once

// The vector paths' walk over a picture: four rows and four columns at a
// time, each pixel located, read and sampled in lanes exactly as the
// one-pixel walk of draw_plan.h does it.

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "engine/draw_plan.h"

namespace vantoril::paint {

// Byte k of each of four pixels.
__attribute__((target("avx2,fma"), always_inline)) inline __m128i Byte(__m128i pixels, int k) {
  return _mm_and_si128(_mm_srli_epi32(pixels, 8 * k), _mm_set1_epi32(255));
}

// The alpha of four pixels, in place.
__attribute__((target("avx2,fma"), always_inline)) inline __m128i AlphaOf(__m128i pixels) {
  return _mm_and_si128(pixels, _mm_set1_epi32(static_cast<int>(0xff000000u)));
}

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

__attribute__((target("avx2,fma"), always_inline)) inline void StoreOffsets(int64_t* out,
                                                                            __m128i offset,
                                                                            __m128i mask) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(out),
                     _mm256_cvtepi32_epi64(_mm_and_si128(offset, mask)));
}

// False when no lane lies on the picture.
__attribute__((target("avx2,fma"), always_inline)) inline bool LocateFour(const Plan& p, __m256d uu,
                                                                          __m256d vv,
                                                                          FourPlaces& f) {
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

__attribute__((target("avx2,fma"), always_inline)) inline FourTaps ReadFour(const Plan& p,
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
__attribute__((target("avx2,fma"), always_inline)) inline void SampleFour(const Plan& p,
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

// The single-precision bilinear values of four pixels, lane 4 p + c holding
// channel c of pixel p, stand in for the double-precision ones of
// Taps::Channel where they can be shown to truncate alike.
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
inline constexpr float kNearInteger = 1.0f / 1024;

// Some pictures and scales put many values near integers (a ramp of three
// per pixel shown at 9/8, say): where most blocks of a group of rows needed
// double precision, the next groups go there straight away.
class PrecisionSwitch {
 public:
  // Whether the group about to be walked tries single precision first.
  bool StartGroup() {
    trySingle_ = doubleGroups_ == 0;
    doubleGroups_ = std::max(doubleGroups_ - 1, 0);
    blocks_ = 0;
    doubles_ = 0;
    return trySingle_;
  }
  // A block worked out, and one worked out in double precision.
  void CountBlock() { ++blocks_; }
  void CountDouble() { ++doubles_; }
  void EndGroup() {
    if (trySingle_ && 2 * doubles_ > blocks_) {
      doubleGroups_ = kDoubleGroups;
    }
  }

 private:
  static constexpr int kDoubleGroups = 8;
  int doubleGroups_ = 0;
  bool trySingle_ = true;
  int blocks_ = 0;
  int doubles_ = 0;
};

// Bit p of a four-pixel mask spread to the four lanes of pixel p.
constexpr std::array<uint16_t, 16> MakeChannelSpreads() {
  std::array<uint16_t, 16> table{};
  for (unsigned m = 0; m < 16; ++m) {
    for (unsigned k = 0; k < 4; ++k) {
      if ((m >> k) & 1U) table[m] = static_cast<uint16_t>(table[m] | (0xfU << (4 * k)));
    }
  }
  return table;
}
inline constexpr std::array<uint16_t, 16> kChannelSpreads = MakeChannelSpreads();

// The pixels whose weight is a multiple of 1/64.
__attribute__((target("avx2,fma"), always_inline)) inline unsigned SixtyFourths(__m256d f) {
  const __m256d scaled = _mm256_mul_pd(f, _mm256_set1_pd(64));
  return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(
      scaled, _mm256_round_pd(scaled, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC), _CMP_EQ_OQ)));
}

// The lanes whose columns are equal (sameColumns) and whose rows are equal
// (sameRows): lane k is byte k of the taps.
struct EqualTaps {
  unsigned sameColumns;
  unsigned sameRows;
};

__attribute__((target("avx2,fma"), always_inline)) inline EqualTaps CompareTaps(const FourTaps& t) {
  const auto equal = [](__m128i x, __m128i y) __attribute__((target("avx2,fma"), always_inline)) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
  };
  return {equal(t.t00, t.t10) & equal(t.t01, t.t11), equal(t.t00, t.t01)};
}

// The lanes whose single-precision value is exact (see above), from the
// equal taps and the pixels' weights.
__attribute__((target("avx2,fma"), always_inline)) inline unsigned ExactLanes(EqualTaps equal,
                                                                              __m256d fx,
                                                                              __m256d fy) {
  const __m256d zero = _mm256_setzero_pd();
  const unsigned flatX = kChannelSpreads[static_cast<unsigned>(
                             _mm256_movemask_pd(_mm256_cmp_pd(fx, zero, _CMP_EQ_OQ)))] |
                         equal.sameColumns;
  const unsigned flatY = kChannelSpreads[static_cast<unsigned>(
                             _mm256_movemask_pd(_mm256_cmp_pd(fy, zero, _CMP_EQ_OQ)))] |
                         equal.sameRows;
  return (flatX & flatY) | kChannelSpreads[SixtyFourths(fx) & SixtyFourths(fy)];
}

// Four registers of four lanes each turned so that register k holds lane k
// of every one.
__attribute__((target("avx2,fma"), always_inline)) inline void Transpose(__m256d* m) {
  const __m256d a = _mm256_unpacklo_pd(m[0], m[1]);
  const __m256d b = _mm256_unpackhi_pd(m[0], m[1]);
  const __m256d c = _mm256_unpacklo_pd(m[2], m[3]);
  const __m256d d = _mm256_unpackhi_pd(m[2], m[3]);
  m[0] = _mm256_permute2f128_pd(a, c, 0x20);
  m[1] = _mm256_permute2f128_pd(b, d, 0x20);
  m[2] = _mm256_permute2f128_pd(a, c, 0x31);
  m[3] = _mm256_permute2f128_pd(b, d, 0x31);
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
__attribute__((target("avx2,fma"), always_inline)) inline bool StartGroup(const Plan& p,
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
__attribute__((target("avx2,fma"), always_inline)) inline void StepBlock(const Plan& p,
                                                                         GroupWalk& w, __m256d* u4,
                                                                         __m256d* v4) {
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

// pixel(k, X, taps) for each pixel of row k from X on that lies on the picture.
template <class Pixel>
__attribute__((target("avx2,fma"), always_inline)) inline void WalkTail(const Plan& p,
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

// Walks the group's blocks: block(k, places) for each row k of a block with
// a pixel on the picture, in row order, then pixel(k, X, taps) for each
// pixel of the last columns. Every row of a block is located before any is
// read, so that the reads do not wait on the offsets just stored.
template <class Block, class Pixel>
__attribute__((target("avx2,fma"), always_inline)) inline void WalkGroup(const Plan& p,
                                                                         GroupWalk& w,
                                                                         Block&& block,
                                                                         Pixel&& pixel) {
  for (; w.X + 4 <= w.hi; w.X += 4) {
    __m256d u4[4];
    __m256d v4[4];
    StepBlock(p, w, u4, v4);
    FourPlaces places[4];
    bool on[4];
    for (int k = 0; k < w.group.count; ++k) {
      on[k] = w.InBlock(k) && LocateFour(p, u4[k], v4[k], places[k]);
    }
    for (int k = 0; k < w.group.count; ++k) {
      if (on[k]) {
        block(k, places[k]);
      }
    }
  }
  WalkTail(p, w, pixel);
}

}  // namespace vantoril::paint

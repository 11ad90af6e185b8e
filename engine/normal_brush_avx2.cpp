#include "engine/normal_brush_avx2.h"

#include <immintrin.h>

#include <cstdint>

#include "engine/four_pixels.h"
#include "engine/pixel_brushes.h"

namespace vantoril::paint {

#define VANTORIL_AVX2_FMA __attribute__((target("avx2,fma"), always_inline)) inline

namespace {

// Half h of four pixels' bytes (pixels 2h and 2h + 1) as eight floats.
VANTORIL_AVX2_FMA __m256 WidenHalf(__m128i taps, int h) {
  return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(h == 0 ? taps : _mm_srli_si128(taps, 8)));
}

// Half h of the single-precision bilinear values (see four_pixels.h), the
// operations of the AVX-512 walk's BilinearSingle; `near` gets the lanes
// within kNearInteger of an integer.
VANTORIL_AVX2_FMA __m256i BilinearHalf(const FourTaps& t, __m128 fx4, __m128 fy4, int h,
                                       unsigned& near) {
  const __m256i perPixel = h == 0 ? _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1)
                                  : _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
  const __m256 fx = _mm256_permutevar8x32_ps(_mm256_castps128_ps256(fx4), perPixel);
  const __m256 fy = _mm256_permutevar8x32_ps(_mm256_castps128_ps256(fy4), perPixel);
  const __m256 a = WidenHalf(t.t00, h);
  const __m256 c = WidenHalf(t.t01, h);
  // Differences of bytes, exact in single precision.
  const __m256 ba = _mm256_sub_ps(WidenHalf(t.t10, h), a);
  const __m256 ec = _mm256_sub_ps(WidenHalf(t.t11, h), c);
  const __m256 top = _mm256_fmadd_ps(ba, fx, a);
  const __m256 bottom = _mm256_fmadd_ps(ec, fx, c);
  const __m256 value = _mm256_fmadd_ps(_mm256_sub_ps(bottom, top), fy, top);
  // value minus the nearest integer, exactly, without its sign.
  const __m256 offset = _mm256_andnot_ps(
      _mm256_set1_ps(-0.0f),
      _mm256_sub_ps(value, _mm256_round_ps(value, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC)));
  near = static_cast<unsigned>(
      _mm256_movemask_ps(_mm256_cmp_ps(offset, _mm256_set1_ps(kNearInteger), _CMP_LE_OQ)));
  return _mm256_cvttps_epi32(value);
}

// The normal brush on the located pixels in single precision: false (and
// nothing in `painted`) where single precision cannot settle a value.
VANTORIL_AVX2_FMA bool PaintSingle(const Plan& p, const FourPlaces& place, __m128i old,
                                   __m256i keep, __m128i& painted) {
  const FourTaps t = ReadFour(p, place);
  const __m128 fx = _mm256_cvtpd_ps(place.fx);
  const __m128 fy = _mm256_cvtpd_ps(place.fy);
  unsigned nearLow = 0;
  unsigned nearHigh = 0;
  const __m256i low = BilinearHalf(t, fx, fy, 0, nearLow);
  const __m256i high = BilinearHalf(t, fx, fy, 1, nearHigh);
  const EqualTaps equal = CompareTaps(t);
  const unsigned on = static_cast<unsigned>(_mm_movemask_epi8(place.mask));
  // Four equal taps (an opaque picture's alpha, say) are the common case.
  const unsigned open = (nearLow | nearHigh << 8) & on & ~(equal.sameColumns & equal.sameRows);
  if (open != 0 && (open & ~ExactLanes(equal, place.fx, place.fy)) != 0) {
    return false;
  }
  // The values in 16-bit lanes, pixel by pixel (the pack interleaves the
  // halves' pixels: 0, 2, 1, 3).
  const __m256i value =
      _mm256_permute4x64_epi64(_mm256_packus_epi32(low, high), _MM_SHUFFLE(3, 1, 2, 0));
  const __m256i blended = NormalWords(value, _mm256_cvtepu8_epi16(old), keep);
  painted = _mm_packus_epi16(_mm256_castsi256_si128(blended), _mm256_extracti128_si256(blended, 1));
  return true;
}

}  // namespace

// Each block of four pixels is worked out in single precision, all channels
// of two pixels in one register, where that gives the values of
// Taps::Channel, and else as NormalLanes does in double precision.
__attribute__((target("avx2,fma"))) void PaintNormalAvx2(const Plan& p, int keepLevel, int rowFirst,
                                                         int rowLast) {
  const NormalBrush brush{keepLevel};
  const NormalLanes lanes{keepLevel};
  const __m256i keep = _mm256_set1_epi16(static_cast<int16_t>(keepLevel));
  PrecisionSwitch precision;
  int r = rowFirst;
  for (RowGroup group = NextRows(p, r, rowLast); group.count > 0; group = NextRows(p, r, rowLast)) {
    GroupWalk w;
    if (!StartGroup(p, group, w)) {
      continue;
    }
    const bool trySingle = precision.StartGroup();
    const GroupRows dest = DestRows(p, group);
    WalkGroup(
        p, w,
        [&](int k, const FourPlaces& place) __attribute__((target("avx2,fma"), always_inline)) {
          uint8_t* d = dest.rows[k] + 4 * w.X;
          const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
          __m128i painted;
          precision.CountBlock();
          if (!trySingle || !PaintSingle(p, place, old, keep, painted)) {
            precision.CountDouble();
            __m128i sample[4];
            SampleFour<true>(p, place, sample);
            painted = lanes(sample, old);
          }
          // Pixels outside the picture keep their bytes.
          _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                           _mm_blendv_epi8(old, painted, place.mask));
        },
        [&](int k, int X, const Taps& taps) {
          brush(dest.rows[k] + 4 * X, taps, X, group.rows[k]);
        });
    precision.EndGroup();
  }
}

#undef VANTORIL_AVX2_FMA

}  // namespace vantoril::paint

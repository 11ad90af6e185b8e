#include "engine/normal_brush_avx512.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "engine/four_pixels.h"
#include "engine/pixel_brushes.h"

namespace vantoril::paint {

#define VANTORIL_AVX512 "avx2,fma,avx512f,avx512bw,avx512vl,avx512dq"
// GCC 12 takes the undefined registers that the AVX-512 intrinsics start
// from for uninitialised values.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

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

// FourPlaces with the weights also rounded to single precision, for
// BilinearSingle.
struct SinglePlaces : FourPlaces {
  __m128 fxSingle;
  __m128 fySingle;
};

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
    const Plan& p, __m512d uu, __m512d vv, __mmask8 lanes, SinglePlaces& low, SinglePlaces& high) {
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
  // u - trunc(u), exactly; the lanes outside are not used.
  const __m512d fx = _mm512_reduce_pd(uu, _MM_FROUND_TO_ZERO);
  const __m512d fy = _mm512_reduce_pd(vv, _MM_FROUND_TO_ZERO);
  low.fx = _mm512_castpd512_pd256(fx);
  high.fx = _mm512_extractf64x4_pd(fx, 1);
  low.fy = _mm512_castpd512_pd256(fy);
  high.fy = _mm512_extractf64x4_pd(fy, 1);
  const __m256 fxSingle = _mm512_cvtpd_ps(fx);
  const __m256 fySingle = _mm512_cvtpd_ps(fy);
  low.fxSingle = _mm256_castps256_ps128(fxSingle);
  high.fxSingle = _mm256_extractf128_ps(fxSingle, 1);
  low.fySingle = _mm256_castps256_ps128(fySingle);
  high.fySingle = _mm256_extractf128_ps(fySingle, 1);
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

// BilinearDouble's values where single precision settles them (as
// four_pixels.h shows), false where it cannot (the caller then works the
// block out in double precision).
__attribute__((target(VANTORIL_AVX512), always_inline)) inline bool BilinearSingle(
    const FourTaps& taps, __m512i a, __m512i ba, __m512i c, __m512i ec, const SinglePlaces& place,
    __mmask16 on, __m512i& sample) {
  const __m512i perPixel = _mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
  const __m512 fx = _mm512_permutexvar_ps(perPixel, _mm512_castps128_ps512(place.fxSingle));
  const __m512 fy = _mm512_permutexvar_ps(perPixel, _mm512_castps128_ps512(place.fySingle));
  const __m512 top = _mm512_fmadd_ps(_mm512_cvtepi32_ps(ba), fx, _mm512_cvtepi32_ps(a));
  const __m512 bottom = _mm512_fmadd_ps(_mm512_cvtepi32_ps(ec), fx, _mm512_cvtepi32_ps(c));
  const __m512 value = _mm512_fmadd_ps(_mm512_sub_ps(bottom, top), fy, top);
  sample = _mm512_cvttps_epi32(value);
  // value minus the nearest integer, exactly.
  const __m512 offset = _mm512_reduce_ps(value, _MM_FROUND_TO_NEAREST_INT);
  const __mmask16 near =
      _mm512_cmp_ps_mask(_mm512_abs_ps(offset), _mm512_set1_ps(kNearInteger), _CMP_LE_OQ);
  // Lane k holds byte k of the taps.
  const __mmask16 sameColumns =
      _mm_cmpeq_epi8_mask(taps.t00, taps.t10) & _mm_cmpeq_epi8_mask(taps.t01, taps.t11);
  const __mmask16 sameRows = _mm_cmpeq_epi8_mask(taps.t00, taps.t01);
  // Four equal taps (an opaque picture's alpha, say) are the common case.
  const __mmask16 open = near & on & ~(sameColumns & sameRows);
  if (open == 0) {
    return true;
  }
  return (open & ~ExactLanes({sameColumns, sameRows}, place.fx, place.fy)) == 0;
}

}  // namespace

// The normal brush with AVX-512: the taps of four pixels are widened to one
// register, pixel by pixel with their four channels side by side, so the
// bilinear work of all channels of four pixels runs in one single-precision
// instruction, or of two in double precision where single precision cannot
// settle the values (BilinearSingle). Every channel gets the value of
// Taps::Channel and sees the blend of NormalBrush in its order.
__attribute__((target(VANTORIL_AVX512))) void PaintNormalAvx512(const Plan& p, int keepLevel,
                                                                int rowFirst, int rowLast) {
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
    // The last block may reach past the visited columns: its lanes there
    // are left out of every read and write.
    for (; w.X < w.hi; w.X += 4) {
      __m256d u4[4];
      __m256d v4[4];
      StepBlock(p, w, u4, v4);
      const unsigned columns = (1U << std::min(w.hi - w.X, 4)) - 1;
      SinglePlaces places[4];
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
        const SinglePlaces& place = places[k];
        const FourTaps f = ReadFour(p, place);
        const __m512i a = _mm512_cvtepu8_epi32(f.t00);
        const __m512i ba = _mm512_sub_epi32(_mm512_cvtepu8_epi32(f.t10), a);
        const __m512i c = _mm512_cvtepu8_epi32(f.t01);
        const __m512i ec = _mm512_sub_epi32(_mm512_cvtepu8_epi32(f.t11), c);
        __m512i sample;
        precision.CountBlock();
        if (!trySingle ||
            !BilinearSingle(f, a, ba, c, ec, place,
                            static_cast<__mmask16>(_mm_movemask_epi8(place.mask)), sample)) {
          precision.CountDouble();
          sample = BilinearDouble(a, ba, c, ec, place.fx, place.fy);
        }
        uint8_t* d = dest.rows[k] + 4 * w.X;
        const __m256i old = _mm256_cvtepu8_epi16(_mm_maskz_loadu_epi32(on[k], d));
        const __m256i blended = NormalWords(_mm512_cvtepi32_epi16(sample), old, keep);
        _mm_mask_storeu_epi32(d, on[k], _mm256_cvtepi16_epi8(blended));
      }
    }
    precision.EndGroup();
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef VANTORIL_AVX512

}  // namespace vantoril::paint

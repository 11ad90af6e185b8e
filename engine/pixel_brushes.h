#pragma once

// The brushes that read nothing but the pixel they paint, each in its
// one-pixel form and its four-pixel form for AVX2.

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "engine/draw_plan.h"
#include "engine/four_pixels.h"

namespace vantoril::paint {

// Stored f32 constants, widened to double where they are used.
constexpr double kLumaBlue = 0.11f;
constexpr double kLumaGreen = 0.59f;
constexpr double kLumaRed = 0.3f;

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

// The brushes on four pixels at a time, one pixel a lane, for AVX2. Each
// works out lane by lane what its one-pixel form above works out, with the
// same operations in the same order; `sample` holds the bilinear values of
// blue, green, red and alpha (only alpha for the brushes that use only the
// picture's shape), `old` the four destination pixels.
#define VANTORIL_LANES __attribute__((target("avx2,fma"), always_inline)) inline

VANTORIL_LANES __m128i Blend(__m128i value, __m128i weight, __m128i old, __m128i rest) {
  return _mm_srli_epi32(_mm_add_epi32(_mm_mullo_epi32(value, weight), _mm_mullo_epi32(old, rest)),
                        8);
}

// Blue, green and red back into pixels, with the alpha given.
VANTORIL_LANES __m128i Pack(__m128i blue, __m128i green, __m128i red, __m128i alpha) {
  return _mm_or_si128(_mm_or_si128(blue, _mm_slli_epi32(green, 8)),
                      _mm_or_si128(_mm_slli_epi32(red, 16), alpha));
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

// The normal brush on four pixels in 16-bit lanes, pixel by pixel with
// their four channels side by side: `value` the bilinear values, `old` the
// destination's bytes widened, keep = 255 - L in every lane. No product or
// sum of it passes 255 * 255. The alpha words come out 255.
VANTORIL_LANES __m256i NormalWords(__m256i value, __m256i old, __m256i keep) {
  // The alpha word of each pixel in all four of its words.
  const __m256i alphaWords =
      _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6, 7, 6, 7, 6,
                       7, 14, 15, 14, 15, 14, 15, 14, 15);
  const __m256i alpha =
      _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_shuffle_epi8(value, alphaWords), keep), 8);
  const __m256i rest = _mm256_sub_epi16(_mm256_set1_epi16(255), alpha);
  return _mm256_or_si256(
      _mm256_srli_epi16(
          _mm256_add_epi16(_mm256_mullo_epi16(value, alpha), _mm256_mullo_epi16(old, rest)), 8),
      _mm256_set1_epi64x(int64_t{255} << 48));
}

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

}  // namespace vantoril::paint

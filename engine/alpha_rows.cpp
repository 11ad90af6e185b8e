#include "engine/alpha_rows.h"

#include <immintrin.h>

#include <algorithm>

#include "engine/four_pixels.h"

namespace vantoril::paint {
namespace {

// The picture's alpha at every visited column of a group of rows where it
// lies on the picture; row k's at alphas + k * (colEnd - colBegin).
__attribute__((target("avx2,fma"))) void GroupAlphasAvx2(const Plan& p, const RowGroup& group,
                                                         int* alphas) {
  const int width = p.colEnd - p.colBegin;
  GroupWalk w;
  if (!StartGroup(p, group, w)) {
    return;
  }
  WalkGroup(
      p, w,
      [&](int k, const FourPlaces& place) __attribute__((target("avx2,fma"), always_inline)) {
        __m128i sample[4];
        SampleFour<false>(p, place, sample);
        int* out = alphas + k * width + w.X - p.colBegin;
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_blendv_epi8(before, sample[3], place.mask));
      },
      [&](int k, int X, const Taps& taps) { alphas[k * width + X - p.colBegin] = taps.Alpha(); });
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

}  // namespace

const int* AlphaRows::Row(int r) {
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

}  // namespace vantoril::paint

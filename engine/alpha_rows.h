#pragma once

#include <cstddef>
#include <vector>

#include "engine/draw_plan.h"

namespace vantoril::paint {

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
  const int* Row(int r);

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

}  // namespace vantoril::paint

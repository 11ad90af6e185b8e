#include "media/reduced_rows.h"

#include <algorithm>

namespace vantoril {

namespace {

constexpr int kLargestFactor = 8;

}  // namespace

int ReducedRows::FactorFor(int64_t width, int64_t height) {
  for (int factor = 1; factor <= kLargestFactor; factor *= 2) {
    if (Reduced(width, factor) <= ImageBuffer::kMaxSide &&
        Reduced(height, factor) <= ImageBuffer::kMaxSide) {
      return factor;
    }
  }
  return 0;
}

ReducedRows::ReducedRows(ImageBuffer& image, int sourceWidth, int factor, bool bottomUp)
    : image_(image),
      sourceWidth_(sourceWidth),
      factor_(factor),
      bottomUp_(bottomUp),
      pixelBytes_(static_cast<size_t>(image.BitsPerPixel()) / 8),
      row_(static_cast<size_t>(sourceWidth) * pixelBytes_),
      sums_(static_cast<size_t>(image.Width()) * pixelBytes_) {}

void ReducedRows::Add() {
  const int width = image_.Width();
  for (int x = 0; x < width; ++x) {
    const uint8_t* from = row_.data() + static_cast<size_t>(x) * factor_ * pixelBytes_;
    const int columns = std::min(factor_, sourceWidth_ - x * factor_);
    uint32_t* sum = sums_.data() + static_cast<size_t>(x) * pixelBytes_;
    for (int c = 0; c < columns; ++c) {
      for (size_t b = 0; b < pixelBytes_; ++b) sum[b] += from[c * pixelBytes_ + b];
    }
  }
  if (++rowsGathered_ == factor_) Finish();
}

void ReducedRows::Finish() {
  if (rowsGathered_ == 0 || rowsOut_ >= image_.Height()) return;
  const int width = image_.Width();
  uint8_t* out = image_.RowPointer(bottomUp_ ? image_.Height() - 1 - rowsOut_ : rowsOut_);
  for (int x = 0; x < width; ++x) {
    const auto count =
        static_cast<uint32_t>(std::min(factor_, sourceWidth_ - x * factor_) * rowsGathered_);
    for (size_t b = 0; b < pixelBytes_; ++b) {
      uint32_t& sum = sums_[static_cast<size_t>(x) * pixelBytes_ + b];
      out[static_cast<size_t>(x) * pixelBytes_ + b] =
          static_cast<uint8_t>((sum + count / 2) / count);
      sum = 0;
    }
  }
  rowsGathered_ = 0;
  ++rowsOut_;
}

}  // namespace vantoril

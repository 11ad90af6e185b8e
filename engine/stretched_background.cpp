#include "engine/stretched_background.h"

#include <algorithm>
#include <cstring>

namespace vantoril {

bool SameLayout(const ImageBuffer& a, const ImageBuffer& b) {
  return a.HasHeader() && b.HasHeader() && a.Width() == b.Width() && a.Height() == b.Height() &&
         a.BitsPerPixel() == b.BitsPerPixel();
}

const ImageBuffer* StretchedBackground::For(const ImageBuffer& source,
                                            const ImageBuffer& destination) {
  if (!source.HasHeader() || !destination.HasHeader()) {
    return nullptr;
  }
  if (SameLayout(source, destination)) {
    return &source;
  }
  // A palette picture is stretched directly: the kept copy holds pixels only.
  if (source.BitsPerPixel() <= 8) {
    return nullptr;
  }
  const auto sameBytes = [](std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0;
  };
  if (valid_ && SameLayout(stretched_, destination) && SameLayout(source_, source) &&
      sameBytes(source_.PixelBlock(), source.PixelBlock())) {
    return &stretched_;
  }
  valid_ = false;
  if (!source.CopyTo(source_, true) ||
      !stretched_.Create(destination.Width(), destination.Height(), destination.BitsPerPixel()) ||
      !source.StretchTo(stretched_, 0, 0)) {
    return nullptr;
  }
  valid_ = true;
  return &stretched_;
}

void CopyRowsFromTop(const ImageBuffer& from, ImageBuffer& to, int first, int end) {
  const int height = to.Height();
  const size_t bytes = static_cast<size_t>(to.Stride());
  for (int row = std::max(first, 0); row < std::min(end, height); ++row) {
    std::memcpy(to.RowPointer(height - 1 - row), from.RowPointer(height - 1 - row), bytes);
  }
}

}  // namespace vantoril

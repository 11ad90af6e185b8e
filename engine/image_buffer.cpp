#include "engine/image_buffer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <utility>

namespace vantoril {

namespace {

// Depths a buffer may be created with. Below 8 bits the stride is 0 (the
// rows cannot be addressed), but readers still create such buffers for their
// palette; anything above 32 would be a reader's mistake.
constexpr int kMaxBitsPerPixel = 32;
constexpr int kPelsPerMetre = 1600;

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, v);
  PutU16(p + 2, v >> 16);
}

int PaletteEntriesFor(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 2:
      return 4;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;  // 1 bit per pixel gets no palette either
  }
}

// Blue, green, red of every palette index, so that the stretch loop does not
// go through the info block for each pixel.
using PaletteTable = std::array<std::array<uint8_t, 3>, 256>;

// One destination row from one source row. sourceOffsets holds the byte
// offset of the source pixel of every destination column in the active span.
template <int SourceBits, int DestinationBits>
void StretchRow(const uint8_t* source, uint8_t* destination, const int* sourceOffsets, int count,
                const PaletteTable& palette) {
  constexpr int kDestinationBytes = DestinationBits / 8;
  for (int x = 0; x < count; ++x) {
    const uint8_t* s = source + sourceOffsets[x];
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    if constexpr (SourceBits == 8) {
      blue = palette[s[0]][0];
      green = palette[s[0]][1];
      red = palette[s[0]][2];
    } else if constexpr (SourceBits == 16) {
      // 5-5-5 expanded by plain shifts: the neighbouring field's bits stay in
      // the low bits of red and green.
      const unsigned word = s[0] | (s[1] << 8);
      red = static_cast<uint8_t>((word >> 7) & 255);
      green = static_cast<uint8_t>((word >> 2) & 255);
      blue = static_cast<uint8_t>((word << 3) & 255);
    } else {
      blue = s[0];
      green = s[1];
      red = s[2];
    }
    uint8_t* d = destination + x * kDestinationBytes;
    if constexpr (DestinationBits == 16) {
      const unsigned word = ((red & 0xF8u) << 7) | ((green & 0xF8u) << 2) | ((blue & 0xF8u) >> 3);
      d[0] = static_cast<uint8_t>(word);
      d[1] = static_cast<uint8_t>(word >> 8);
    } else {
      d[0] = blue;
      d[1] = green;
      d[2] = red;
      if constexpr (DestinationBits == 32) {
        d[3] = 0;
      }
    }
  }
}

using StretchRowFunction = void (*)(const uint8_t*, uint8_t*, const int*, int, const PaletteTable&);

template <int SourceBits>
StretchRowFunction StretchRowFor(int destinationBits) {
  switch (destinationBits) {
    case 16:
      return &StretchRow<SourceBits, 16>;
    case 24:
      return &StretchRow<SourceBits, 24>;
    case 32:
      return &StretchRow<SourceBits, 32>;
    default:
      return nullptr;
  }
}

StretchRowFunction StretchRowFor(int sourceBits, int destinationBits) {
  switch (sourceBits) {
    case 8:
      return StretchRowFor<8>(destinationBits);
    case 16:
      return StretchRowFor<16>(destinationBits);
    case 24:
      return StretchRowFor<24>(destinationBits);
    case 32:
      return StretchRowFor<32>(destinationBits);
    default:
      return nullptr;
  }
}

}  // namespace

constexpr size_t kVectorSlack = 64;

ImageBuffer::ImageBuffer(int width, int height, int bitsPerPixel) {
  Create(width, height, bitsPerPixel);
}

int ImageBuffer::StrideFor(int width, int bitsPerPixel) {
  return (width * (bitsPerPixel / 8) + 3) & ~3;
}

bool ImageBuffer::Create(int width, int height, int bitsPerPixel) {
  if (HasHeader() && width == width_ && height == height_ && bitsPerPixel == bitsPerPixel_) {
    return true;
  }
  if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide || bitsPerPixel < 1 ||
      bitsPerPixel > kMaxBitsPerPixel) {
    return false;
  }
  const int stride = StrideFor(width, bitsPerPixel);
  const int paletteEntries = PaletteEntriesFor(bitsPerPixel);
  std::vector<uint8_t> info;
  std::vector<uint8_t> pixels;
  // Both new blocks exist before the old ones go, so running out of memory
  // leaves the buffer as it was.
  try {
    info.assign(kInfoHeaderSize + 4 * static_cast<size_t>(paletteEntries), 0);
    const size_t size = static_cast<size_t>(height) * static_cast<size_t>(stride) + kSpareBytes;
    // Vector code that converts whole rows (the movie encoders' scaler) loads
    // up to a block beyond the last pixel; it finds the block's own memory.
    pixels.reserve(size + kVectorSlack);
    pixels.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }

  uint8_t* header = info.data();
  PutU32(header + 0, kInfoHeaderSize);
  PutU32(header + 4, static_cast<uint32_t>(width));
  PutU32(header + 8, static_cast<uint32_t>(height));  // positive: rows stored bottom-up
  PutU16(header + 12, 1);
  PutU16(header + 14, static_cast<uint32_t>(bitsPerPixel));
  // Compression, image size: 0. Then the resolution, then colours used and
  // important: 0.
  PutU32(header + 24, kPelsPerMetre);
  PutU32(header + 28, kPelsPerMetre);
  for (int i = 0; i < paletteEntries; ++i) {
    uint8_t* entry = header + kInfoHeaderSize + 4 * i;
    entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
  }

  info_ = std::move(info);
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
  bitsPerPixel_ = bitsPerPixel;
  stride_ = stride;
  cachedWidth = static_cast<uint16_t>(width);
  cachedHeight = static_cast<uint16_t>(height);
  return true;
}

void ImageBuffer::Release() {
  info_ = {};
  pixels_ = {};
  width_ = height_ = bitsPerPixel_ = stride_ = 0;
}

uint8_t* ImageBuffer::RowPointer(int y) {
  if (!HasHeader() || y < 0 || y >= height_) {
    return nullptr;
  }
  return pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(stride_);
}

const uint8_t* ImageBuffer::RowPointer(int y) const {
  return const_cast<ImageBuffer*>(this)->RowPointer(y);
}

void ImageBuffer::GetRow(int y, uint8_t* destination, size_t maxBytes) const {
  const uint8_t* row = RowPointer(y);
  if (row && destination) {
    std::memcpy(destination, row, std::min(static_cast<size_t>(stride_), maxBytes));
  }
}

void ImageBuffer::SetRow(int y, const uint8_t* source) {
  uint8_t* row = RowPointer(y);
  if (row && source) {
    std::memmove(row, source, static_cast<size_t>(stride_));
  }
}

int ImageBuffer::PaletteEntries() const {
  return HasHeader() ? PaletteEntriesFor(bitsPerPixel_) : 0;
}

uint8_t* ImageBuffer::PaletteEntry(int i) {
  if (i < 0 || i >= PaletteEntries()) {
    return nullptr;
  }
  return info_.data() + kInfoHeaderSize + 4 * i;
}

const uint8_t* ImageBuffer::PaletteEntry(int i) const {
  return const_cast<ImageBuffer*>(this)->PaletteEntry(i);
}

bool ImageBuffer::CopyTo(ImageBuffer& destination, bool recreate) const {
  if (!HasHeader()) {
    return false;
  }
  if (&destination == this) {
    return true;
  }
  if (recreate && !destination.Create(width_, height_, bitsPerPixel_)) {
    return false;
  }
  // A plain byte copy: the caller promises equal layouts, but a destination
  // too small for it is refused rather than overrun.
  const size_t bytes = static_cast<size_t>(stride_) * static_cast<size_t>(height_);
  if (!destination.HasHeader() || destination.pixels_.size() < bytes) {
    return false;
  }
  std::memcpy(destination.pixels_.data(), pixels_.data(), bytes);
  return true;
}

bool ImageBuffer::StretchTo(ImageBuffer& destination, int marginX, int marginY) const {
  if (!HasHeader() || !destination.HasHeader()) {
    return false;
  }
  if (bitsPerPixel_ == destination.bitsPerPixel_ && height_ == destination.height_ &&
      width_ == destination.width_ && marginX == 0 && marginY == 0) {
    return CopyTo(destination, false);
  }
  const int innerWidth = destination.width_ - 2 * marginX;
  const int innerHeight = destination.height_ - 2 * marginY;
  if (marginX < 0 || marginY < 0 || innerWidth < 1 || innerHeight < 1) {
    return false;
  }
  const StretchRowFunction stretchRow = StretchRowFor(bitsPerPixel_, destination.bitsPerPixel_);
  if (!stretchRow) {
    return false;
  }
  if (&destination == this) {
    // Rows written early would be read again later: work from a copy.
    const ImageBuffer source = *this;
    return source.StretchTo(destination, marginX, marginY);
  }

  const double sx = static_cast<double>(width_) / innerWidth;
  const double sy = static_cast<double>(height_) / innerHeight;
  const int sourceBytes = bitsPerPixel_ / 8;
  const int destinationBytes = destination.bitsPerPixel_ / 8;

  PaletteTable palette{};
  if (bitsPerPixel_ == 8) {
    for (int i = 0; i < 256; ++i) {
      const uint8_t* entry = PaletteEntry(i);
      palette[i] = {entry[0], entry[1], entry[2]};
    }
  }

  std::vector<int> sourceOffsets;
  std::vector<uint8_t> sourceRow;
  std::vector<uint8_t> destinationRow;
  try {
    sourceOffsets.resize(innerWidth);
    sourceRow.resize(static_cast<size_t>(width_) * 4 + 32);
    destinationRow.resize(static_cast<size_t>(destination.width_) * 4 + 32);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int x = 0; x < innerWidth; ++x) {
    const int column = std::min(static_cast<int>(x * sx), width_ - 1);
    sourceOffsets[x] = column * sourceBytes;
  }

  // Only the columns between the margins are written; the margin area of the
  // destination keeps whatever it held.
  const size_t spanOffset = static_cast<size_t>(marginX) * destinationBytes;
  const size_t spanBytes = static_cast<size_t>(innerWidth) * destinationBytes;
  int convertedRow = -1;
  for (int y = marginY; y < destination.height_ - marginY; ++y) {
    const int sourceY = std::min(static_cast<int>((y - marginY) * sy), height_ - 1);
    if (sourceY != convertedRow) {
      // Enlarging repeats source rows; each is converted once.
      GetRow(sourceY, sourceRow.data(), sourceRow.size());
      stretchRow(sourceRow.data(), destinationRow.data(), sourceOffsets.data(), innerWidth,
                 palette);
      convertedRow = sourceY;
    }
    std::memcpy(destination.RowPointer(y) + spanOffset, destinationRow.data(), spanBytes);
  }
  return true;
}

bool ImageBuffer::FlipVertical() {
  if (!HasHeader()) {
    return false;
  }
  for (int i = 0; i < height_ / 2; ++i) {
    uint8_t* lower = RowPointer(i);
    std::swap_ranges(lower, lower + stride_, RowPointer(height_ - 1 - i));
  }
  return true;
}

bool ImageBuffer::SwapRedBlue() {
  if (!HasHeader() || bitsPerPixel_ < 24) {
    return false;
  }
  const int pixelBytes = bitsPerPixel_ / 8;
  for (int y = 0; y < height_; ++y) {
    uint8_t* p = RowPointer(y);
    for (int x = 0; x < width_; ++x, p += pixelBytes) {
      std::swap(p[0], p[2]);
    }
  }
  return true;
}

bool ImageBuffer::SetAlpha(uint8_t value) {
  if (!HasHeader() || bitsPerPixel_ != 32) {
    return false;
  }
  for (int y = 0; y < height_; ++y) {
    uint8_t* p = RowPointer(y) + 3;
    for (int x = 0; x < width_; ++x, p += 4) {
      *p = value;
    }
  }
  return true;
}

bool ImageBuffer::SetBorderAlpha(uint8_t value) {
  if (!HasHeader() || bitsPerPixel_ != 32) {
    return false;
  }
  for (const int y : {0, height_ - 1}) {
    uint8_t* p = RowPointer(y) + 3;
    for (int x = 0; x < width_; ++x, p += 4) {
      *p = value;
    }
  }
  for (int y = 0; y < height_; ++y) {
    uint8_t* row = RowPointer(y);
    row[3] = value;
    row[(width_ - 1) * 4 + 3] = value;
  }
  return true;
}

bool ImageBuffer::AlphaBlur() {
  if (!HasHeader() || bitsPerPixel_ != 32) {
    return false;
  }
  if (width_ < 3 || height_ < 3) {
    return true;  // every pixel is on the outer frame, which is never a centre
  }
  // In place, bottom memory row first and left to right: the lower and left
  // neighbours of a centre are already softened. Kept so for the look of
  // existing shows. Column sums (below + 2 * middle + above) roll along the
  // row, so each centre reads one new column.
  for (int y = 0; y + 2 < height_; ++y) {
    const uint8_t* below = RowPointer(y) + 3;
    uint8_t* middle = RowPointer(y + 1) + 3;
    const uint8_t* above = RowPointer(y + 2) + 3;
    int left = below[0] + 2 * middle[0] + above[0];
    int centre = below[4] + 2 * middle[4] + above[4];
    for (int x = 8; x < 4 * width_; x += 4) {
      const int right = below[x] + 2 * middle[x] + above[x];
      uint8_t& alpha = middle[x - 4];
      if (alpha != 0) {
        const int softened = (left + 2 * centre + right) >> 4;
        centre += 2 * (softened - alpha);
        alpha = static_cast<uint8_t>(softened);
      }
      left = centre;
      centre = right;
    }
  }
  return true;
}

bool ImageBuffer::MakeVideoSafe() {
  if (!HasHeader() || bitsPerPixel_ < 24) {
    return false;
  }
  const int pixelBytes = bitsPerPixel_ / 8;
  const auto outOfRange = [&] {
    for (int y = 0; y < height_; ++y) {
      const uint8_t* p = RowPointer(y);
      for (int x = 0; x < width_; ++x, p += pixelBytes) {
        for (int k = 0; k < 3; ++k) {
          if (p[k] < 18 || p[k] > 234) {
            return true;
          }
        }
      }
    }
    return false;
  };
  if (!outOfRange()) {
    return true;
  }
  // 0..255 onto 15..234.
  std::array<uint8_t, 256> legal{};
  for (int c = 0; c < 256; ++c) {
    legal[c] = static_cast<uint8_t>((86 * c + 1548) / 100);
  }
  for (int y = 0; y < height_; ++y) {
    uint8_t* p = RowPointer(y);
    for (int x = 0; x < width_; ++x, p += pixelBytes) {
      p[0] = legal[p[0]];
      p[1] = legal[p[1]];
      p[2] = legal[p[2]];
    }
  }
  return true;
}

}  // namespace vantoril

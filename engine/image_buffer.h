#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vantoril {

// A device-independent bitmap: a 40-byte BITMAPINFOHEADER followed by the
// palette (the "info block"), and bottom-up pixel rows padded to 4 bytes with
// 4 spare bytes after the last row (the "pixel block"). Row 0 in memory is the
// bottom line of the picture. 32-bit pixels are blue, green, red, alpha;
// 24-bit blue, green, red; 16-bit a little-endian 5-5-5 word (red in bits
// 10..14); 8-bit a palette index.
//
// A value type: copies own their blocks. Every operation on a buffer without a
// header does nothing and returns 0 or false.
class ImageBuffer {
 public:
  static constexpr int kMaxSide = 8192;
  static constexpr int kInfoHeaderSize = 40;
  static constexpr int kSpareBytes = 4;

  ImageBuffer() = default;
  ImageBuffer(int width, int height, int bitsPerPixel);

  // Re-creates the buffer; same size and depth keeps the pixels. A side
  // outside 1..8192 or exhausted memory returns false and leaves the buffer as
  // it was (the new blocks are made before the old ones are freed).
  bool Create(int width, int height, int bitsPerPixel);
  void Release();

  bool HasHeader() const { return !info_.empty(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  int Stride() const { return stride_; }
  static int StrideFor(int width, int bitsPerPixel);

  uint8_t* RowPointer(int y);
  const uint8_t* RowPointer(int y) const;
  // Copies min(Stride, maxBytes) bytes of row y to destination.
  void GetRow(int y, uint8_t* destination, size_t maxBytes) const;
  // Copies Stride bytes from source into row y.
  void SetRow(int y, const uint8_t* source);

  // The info block: the header followed by 4-byte palette entries.
  std::span<const uint8_t> InfoBlock() const { return info_; }
  int PaletteEntries() const;
  // Entry i as 4 bytes blue, green, red, reserved; null outside the palette.
  uint8_t* PaletteEntry(int i);
  const uint8_t* PaletteEntry(int i) const;

  // The whole pixel block: Height x Stride bytes plus the 4 spare bytes.
  std::span<uint8_t> PixelBlock() { return pixels_; }
  std::span<const uint8_t> PixelBlock() const { return pixels_; }

  bool CopyTo(ImageBuffer& destination, bool recreate) const;
  bool StretchTo(ImageBuffer& destination, int marginX, int marginY) const;

  bool FlipVertical();
  bool SwapRedBlue();
  bool SetAlpha(uint8_t value);
  bool SetBorderAlpha(uint8_t value);
  bool AlphaBlur();
  bool MakeVideoSafe();

  // Width and height given to the last Create; some readers write them too.
  uint16_t cachedWidth = 0;
  uint16_t cachedHeight = 0;

 private:
  std::vector<uint8_t> info_;
  std::vector<uint8_t> pixels_;
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  int stride_ = 0;
};

}  // namespace vantoril

#include <algorithm>
#include <array>
#include <cstdlib>

#include "media/image_reader_support.h"
#include "media/image_readers.h"

namespace vantoril {

namespace {

using image_reader::LittleEndian16;
using image_reader::LittleEndian32;

// The file header, as offsets of its little-endian fields.
constexpr int kFileHeaderSize = 14;
constexpr int kFileSize = 2;
constexpr int kPixelOffset = 10;

// The information header's first 40 bytes (all the oldest of the larger
// headers hold), as offsets of its fields; the bit field masks follow them.
constexpr int kInfoHeaderSize = 40;
constexpr int kInfoSize = 0;
constexpr int kWidth = 4;
constexpr int kHeight = 8;
constexpr int kBitCount = 14;
constexpr int kCompression = 16;
constexpr int kColorsUsed = 32;
constexpr int kMasksSize = 12;
constexpr int kMasksOffset = kFileHeaderSize + kInfoHeaderSize;
constexpr uint32_t kUncompressed = 0;  // BI_RGB
constexpr uint32_t kBitFields = 3;     // BI_BITFIELDS

// BI_BITFIELDS pictures whose red, green and blue masks are the plain layout
// of their depth are stored exactly like uncompressed ones. The three masks
// sit at the same file offset both after a 40-byte header and inside the
// larger headers (which hold them at header offset 40).
bool HasPlainMasks(const uint8_t* masks, int bitCount) {
  const uint32_t red = LittleEndian32(masks);
  const uint32_t green = LittleEndian32(masks + 4);
  const uint32_t blue = LittleEndian32(masks + 8);
  if (bitCount == 16) {
    return red == 0x7C00 && green == 0x03E0 && blue == 0x001F;
  }
  if (bitCount == 32) {
    return red == 0xFF0000 && green == 0xFF00 && blue == 0xFF;
  }
  return false;
}

// The palette follows the information header, whatever its size; it has
// biClrUsed entries when that says fewer than 256, and the entries it does not
// give keep the grey ramp.
void ReadPalette(BinaryFile& file, uint32_t infoSize, uint32_t colorsUsed, ImageBuffer& image) {
  const int entries = colorsUsed >= 1 && colorsUsed <= 255 ? static_cast<int>(colorsUsed) : 256;
  std::array<uint8_t, size_t{256} * 4> palette{};
  if (file.Seek(int64_t{kFileHeaderSize} + infoSize)) {
    const size_t got = file.Read(palette.data(), static_cast<size_t>(entries) * 4);
    for (size_t i = 0; i < got / 4; ++i) {
      std::copy_n(palette.data() + i * 4, 4, image.PaletteEntry(static_cast<int>(i)));
    }
  }
}

}  // namespace

ImageReadResult ReadBmp(ImageBuffer& image, ImageFile& in) {
  BinaryFile& file = in.file;
  // The file header, the first 40 bytes of the information header and the
  // 12 bytes that hold the bit field masks when there are any.
  std::array<uint8_t, kFileHeaderSize + kInfoHeaderSize + kMasksSize> header{};
  if (!file.Seek(0)) {
    return kImageUnreadable;
  }
  const size_t headerBytes = file.Read(header.data(), header.size());
  if (headerBytes < kFileHeaderSize + kInfoHeaderSize) {
    return kImageUnreadable;
  }
  const uint8_t* info = header.data() + kFileHeaderSize;
  const uint32_t fileSize = LittleEndian32(header.data() + kFileSize);
  const uint32_t pixelOffset = LittleEndian32(header.data() + kPixelOffset);
  const uint32_t infoSize = LittleEndian32(info + kInfoSize);
  const int64_t width = static_cast<int32_t>(LittleEndian32(info + kWidth));
  const int64_t storedHeight = static_cast<int32_t>(LittleEndian32(info + kHeight));
  const int bitCount = LittleEndian16(info + kBitCount);
  const uint32_t compression = LittleEndian32(info + kCompression);
  const uint32_t colorsUsed = LittleEndian32(info + kColorsUsed);

  // The 12-byte core header of the oldest files has 16-bit sides; read as a
  // 40-byte header it would give nonsense.
  if (infoSize < kInfoHeaderSize) {
    return kImageUnreadable;
  }
  if (compression == kBitFields) {
    if (headerBytes < header.size() || !HasPlainMasks(header.data() + kMasksOffset, bitCount)) {
      return kImageCompressed;
    }
  } else if (compression != kUncompressed) {
    return kImageCompressed;
  }
  // A negative height marks rows stored top-down.
  const bool topDown = storedHeight < 0;
  const int64_t height = std::llabs(storedHeight);
  if (width > ImageBuffer::kMaxSide || height > ImageBuffer::kMaxSide) {
    return kImageTooLarge;
  }
  if (bitCount < 8) {
    return kImageTooFewColors;
  }
  if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    return kImageUnreadable;
  }
  if (const ImageReadResult created = image_reader::CreatePicture(image, width, height, bitCount);
      created != kImageRead) {
    return created;
  }

  if (bitCount == 8) {
    ReadPalette(file, infoSize, colorsUsed, image);
  }

  // BMP rows are padded to 4 bytes like the buffer's, so the whole pixel
  // array is read in one piece. bfSize is only a limit when it is plausible.
  size_t pixelBytes = static_cast<size_t>(image.Stride()) * static_cast<size_t>(image.Height());
  if (fileSize > pixelOffset) {
    pixelBytes = std::min<size_t>(pixelBytes, fileSize - pixelOffset);
  }
  if (file.Seek(pixelOffset)) {
    file.Read(image.PixelBlock().data(), pixelBytes);
  }
  if (topDown) {
    image.FlipVertical();
  }
  return kImageRead;
}

}  // namespace vantoril

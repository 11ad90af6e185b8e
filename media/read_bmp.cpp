#include <algorithm>
#include <array>
#include <cstdlib>

#include "media/image_reader_support.h"
#include "media/image_readers.h"

namespace vantoril {

namespace {

using image_reader::LittleEndian16;
using image_reader::LittleEndian32;

constexpr int kFileHeaderSize = 14;
constexpr uint32_t kUncompressed = 0;  // BI_RGB
constexpr uint32_t kBitFields = 3;     // BI_BITFIELDS

// BI_BITFIELDS pictures whose red, green and blue masks are the plain layout
// of their depth are stored exactly like uncompressed ones. The three masks
// sit at file offset 54 both after a 40-byte header and inside the larger
// headers (which hold them at header offset 40).
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

}  // namespace

ImageReadResult ReadBmp(ImageBuffer& image, ImageFile& in) {
  BinaryFile& file = in.file;
  // The file header, the first 40 bytes of the information header and the
  // 12 bytes that hold the bit field masks when there are any.
  std::array<uint8_t, kFileHeaderSize + 40 + 12> header{};
  if (!file.Seek(0)) {
    return kImageUnreadable;
  }
  const size_t headerBytes = file.Read(header.data(), header.size());
  if (headerBytes < kFileHeaderSize + 40) {
    return kImageUnreadable;
  }
  const uint8_t* info = header.data() + kFileHeaderSize;
  const uint32_t fileSize = LittleEndian32(header.data() + 2);
  const uint32_t pixelOffset = LittleEndian32(header.data() + 10);
  const uint32_t infoSize = LittleEndian32(info);
  const int64_t width = static_cast<int32_t>(LittleEndian32(info + 4));
  const int64_t storedHeight = static_cast<int32_t>(LittleEndian32(info + 8));
  const int bitCount = LittleEndian16(info + 14);
  const uint32_t compression = LittleEndian32(info + 16);
  const uint32_t colorsUsed = LittleEndian32(info + 32);

  // The 12-byte core header of the oldest files has 16-bit sides; read as a
  // 40-byte header it would give nonsense.
  if (infoSize < 40) {
    return kImageUnreadable;
  }
  if (compression == kBitFields) {
    if (headerBytes < header.size() || !HasPlainMasks(header.data() + 54, bitCount)) {
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
    // The palette follows the information header, whatever its size; it has
    // biClrUsed entries when that says fewer than 256, and the entries it
    // does not give keep the grey ramp.
    const int entries = colorsUsed >= 1 && colorsUsed <= 255 ? static_cast<int>(colorsUsed) : 256;
    std::array<uint8_t, size_t{256} * 4> palette{};
    if (file.Seek(int64_t{kFileHeaderSize} + infoSize)) {
      const size_t got = file.Read(palette.data(), static_cast<size_t>(entries) * 4);
      for (size_t i = 0; i < got / 4; ++i) {
        std::copy_n(palette.data() + i * 4, 4, image.PaletteEntry(static_cast<int>(i)));
      }
    }
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

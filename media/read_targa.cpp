#include <array>

#include "media/image_reader_support.h"
#include "media/image_readers.h"

namespace vantoril {

namespace {

using image_reader::LittleEndian16;

// The header, as offsets of its fields (the 16-bit ones little-endian).
constexpr int kHeaderSize = 18;
constexpr int kIdLength = 0;
constexpr int kImageType = 2;
constexpr int kColorMapLength = 5;
constexpr int kColorMapEntryBits = 7;
constexpr int kWidth = 12;
constexpr int kHeight = 14;
constexpr int kDepth = 16;
constexpr int kDescriptor = 17;
constexpr int kLastUncompressedType = 3;  // 1 colour-mapped, 2 true colour, 3 grey
constexpr uint8_t kTopOrigin = 0x20;      // image descriptor bit 5

}  // namespace

ImageReadResult ReadTarga(ImageBuffer& image, ImageFile& in) {
  BinaryFile& file = in.file;
  std::array<uint8_t, kHeaderSize> header{};
  if (!file.Seek(0) || !image_reader::ReadFully(file, header.data(), header.size())) {
    return kImageUnreadable;
  }
  const int idLength = header[kIdLength];
  const int imageType = header[kImageType];
  const int colorMapLength = LittleEndian16(&header[kColorMapLength]);
  const int colorMapEntryBits = header[kColorMapEntryBits];
  const int width = LittleEndian16(&header[kWidth]);
  const int height = LittleEndian16(&header[kHeight]);
  const int depth = header[kDepth];
  const uint8_t descriptor = header[kDescriptor];

  if (depth < 8 || depth > 32 || width == 0 || height == 0) {
    return kImageUnreadable;
  }
  if (imageType > kLastUncompressedType) {
    return kImageCompressed;
  }
  if (width > ImageBuffer::kMaxSide || height > ImageBuffer::kMaxSide) {
    return kImageTooLarge;
  }
  // 15-bit pixels are 5-5-5 words with the top bit unused: the buffer's 16-bit
  // layout. Other depths would not fit the buffer's rows.
  const int bitsPerPixel = depth == 15 ? 16 : depth;
  if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) {
    return kImageUnreadable;
  }
  if (const ImageReadResult created =
          image_reader::CreatePicture(image, width, height, bitsPerPixel);
      created != kImageRead) {
    return created;
  }

  // The colour map is passed over: a colour-mapped picture shows through the
  // buffer's grey palette. Entries are whole bytes (a 15-bit entry takes 2).
  const int64_t colorMapBytes = int64_t{colorMapLength} * ((colorMapEntryBits + 7) / 8);
  if (!file.Seek(kHeaderSize + idLength + colorMapBytes)) {
    return kImageRead;
  }
  const size_t rowBytes = static_cast<size_t>(width) * (bitsPerPixel / 8);
  for (int y = 0; y < height; ++y) {
    if (file.Read(image.RowPointer(y), rowBytes) < rowBytes) {
      break;  // a short file leaves the remaining rows black
    }
  }
  if ((descriptor & kTopOrigin) != 0) {
    image.FlipVertical();
  }
  return kImageRead;
}

}  // namespace vantoril

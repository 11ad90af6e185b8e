#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "media/image_reader_support.h"
#include "media/image_readers.h"

namespace vantoril {

namespace {

using image_reader::LittleEndian16;

// The header, as offsets of its fields (the 16-bit ones little-endian).
constexpr int kHeaderSize = 18;
constexpr int kIdLength = 0;
constexpr int kImageType = 2;
constexpr int kColorMapFirst = 3;
constexpr int kColorMapLength = 5;
constexpr int kColorMapEntryBits = 7;
constexpr int kWidth = 12;
constexpr int kHeight = 14;
constexpr int kDepth = 16;
constexpr int kDescriptor = 17;
constexpr int kColorMapped = 1;
constexpr int kGrey = 3;
constexpr int kLastUncompressedType = 3;  // 1 colour-mapped, 2 true colour, 3 grey
// The same three kinds in run-length packets.
constexpr int kRunLengthOffset = 8;
constexpr int kFirstRunLengthType = kColorMapped + kRunLengthOffset;
constexpr int kLastRunLengthType = kGrey + kRunLengthOffset;
constexpr uint8_t kTopOrigin = 0x20;  // image descriptor bit 5
constexpr uint8_t kRunPacket = 0x80;  // else raw pixels; the low bits count less one
constexpr size_t kChunkSize = size_t{64} * 1024;

// A 5-bit channel spread over 8 bits, white staying white.
uint8_t Widen5(unsigned v) {
  return static_cast<uint8_t>(v << 3 | v >> 2);
}

// Reads the colour map (after the ID field) into the palette: entry k is
// index first + k; indexes past 255 are passed over. Entries are whole
// bytes, blue first; 15- and 16-bit ones are 5-5-5 words.
bool ReadColorMap(BinaryFile& file, ImageBuffer& image, int first, int length, int entryBits) {
  const int entryBytes = (entryBits + 7) / 8;
  std::array<uint8_t, 4> entry{};
  for (int k = 0; k < length && first + k < 256; ++k) {
    if (!image_reader::ReadFully(file, entry.data(), static_cast<size_t>(entryBytes))) {
      return false;
    }
    uint8_t* color = image.PaletteEntry(first + k);
    if (entryBytes == 2) {
      const unsigned word = LittleEndian16(entry.data());
      color[0] = Widen5(word & 31);
      color[1] = Widen5(word >> 5 & 31);
      color[2] = Widen5(word >> 10 & 31);
    } else {
      std::copy_n(entry.begin(), 3, color);
    }
  }
  return true;
}

// Bytes from the file a chunk at a time, for decoders that take a few at once.
class ChunkedReader {
 public:
  explicit ChunkedReader(BinaryFile& file) : file_(file), chunk_(kChunkSize) {}
  bool Take(uint8_t* out, size_t count) {
    while (count > 0) {
      if (at_ == have_) {
        have_ = file_.Read(chunk_.data(), chunk_.size());
        at_ = 0;
        if (have_ == 0) return false;
      }
      const size_t n = std::min(count, have_ - at_);
      std::copy_n(chunk_.begin() + static_cast<std::ptrdiff_t>(at_), n, out);
      at_ += n;
      out += n;
      count -= n;
    }
    return true;
  }

 private:
  BinaryFile& file_;
  std::vector<uint8_t> chunk_;
  size_t have_ = 0;
  size_t at_ = 0;
};

// Run-length packets fill the rows in file order; a packet may run on from
// one row into the next. A short file leaves the remaining pixels black.
void ReadRunLengthRows(BinaryFile& file, ImageBuffer& image, int pixelBytes) {
  ChunkedReader in(file);
  const int width = image.Width();
  const int height = image.Height();
  const auto bytes = static_cast<size_t>(pixelBytes);
  std::array<uint8_t, 4> pixel{};
  int x = 0;
  int y = 0;
  while (y < height) {
    uint8_t header = 0;
    if (!in.Take(&header, 1)) return;
    const bool run = (header & kRunPacket) != 0;
    if (run && !in.Take(pixel.data(), bytes)) return;
    for (int n = (header & ~kRunPacket) + 1; n > 0 && y < height; --n) {
      uint8_t* to = image.RowPointer(y) + static_cast<size_t>(x) * bytes;
      if (run) {
        std::copy_n(pixel.begin(), bytes, to);
      } else if (!in.Take(to, bytes)) {
        return;
      }
      if (++x == width) {
        x = 0;
        ++y;
      }
    }
  }
}

}  // namespace

ImageReadResult ReadTarga(ImageBuffer& image, ImageFile& in) {
  BinaryFile& file = in.file;
  std::array<uint8_t, kHeaderSize> header{};
  if (!file.Seek(0) || !image_reader::ReadFully(file, header.data(), header.size())) {
    return kImageUnreadable;
  }
  const int idLength = header[kIdLength];
  const bool runLength =
      header[kImageType] >= kFirstRunLengthType && header[kImageType] <= kLastRunLengthType;
  const int imageType = runLength ? header[kImageType] - kRunLengthOffset : header[kImageType];
  const int colorMapLength = LittleEndian16(&header[kColorMapLength]);
  const int colorMapEntryBits = header[kColorMapEntryBits];
  const int width = LittleEndian16(&header[kWidth]);
  const int height = LittleEndian16(&header[kHeight]);
  const int depth = header[kDepth];
  const uint8_t descriptor = header[kDescriptor];
  const int colorMapFirst = LittleEndian16(&header[kColorMapFirst]);

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
  // Indexes and grey levels wider than a byte (grey with alpha) would read
  // as 5-5-5 colours; a map of entries that are no colour cannot be shown.
  const bool mapped = imageType == kColorMapped && colorMapLength > 0;
  if (((imageType == kColorMapped || imageType == kGrey) && depth != 8) ||
      (mapped && colorMapEntryBits != 15 && colorMapEntryBits != 16 && colorMapEntryBits != 24 &&
       colorMapEntryBits != 32)) {
    return kImageUnreadable;
  }
  if (const ImageReadResult created =
          image_reader::CreatePicture(image, width, height, bitsPerPixel);
      created != kImageRead) {
    return created;
  }

  // A colour-mapped picture gets its map as the palette; any other passes
  // the map over. Entries are whole bytes (a 15-bit entry takes 2).
  if (mapped && (!file.Seek(kHeaderSize + idLength) ||
                 !ReadColorMap(file, image, colorMapFirst, colorMapLength, colorMapEntryBits))) {
    return kImageUnreadable;
  }
  const int64_t colorMapBytes = int64_t{colorMapLength} * ((colorMapEntryBits + 7) / 8);
  if (!file.Seek(kHeaderSize + idLength + colorMapBytes)) {
    return kImageRead;
  }
  if (runLength) {
    try {
      ReadRunLengthRows(file, image, bitsPerPixel / 8);
    } catch (const std::bad_alloc&) {
      return kImageNoMemory;
    }
  }
  const size_t rowBytes = static_cast<size_t>(width) * (bitsPerPixel / 8);
  for (int y = 0; !runLength && y < height; ++y) {
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

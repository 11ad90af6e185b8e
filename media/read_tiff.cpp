#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "media/image_reader_support.h"
#include "media/image_readers.h"

namespace vantoril {

namespace {

constexpr size_t kWorkBlockSize = 4096;
constexpr int kEntrySize = 12;  // tag 2, type 2, count 4, value 4

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

constexpr uint16_t kTagImageWidth = 256;
constexpr uint16_t kTagImageLength = 257;
constexpr uint16_t kTagCompression = 259;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagSamplesPerPixel = 277;
constexpr uint16_t kTagRowsPerStrip = 278;

// A TIFF file declares its own byte order.
struct ByteOrder {
  bool bigEndian = false;

  uint16_t Get16(const uint8_t* p) const {
    return bigEndian ? image_reader::BigEndian16(p) : image_reader::LittleEndian16(p);
  }
  uint32_t Get32(const uint8_t* p) const {
    return bigEndian ? image_reader::BigEndian32(p) : image_reader::LittleEndian32(p);
  }
  // A LONG value fills the field; anything shorter sits at its start.
  uint32_t Value(uint16_t type, const uint8_t* field) const {
    return type == kTypeLong ? Get32(field) : Get16(field);
  }
};

struct StripLayout {
  uint32_t count = 1;
  // With one strip its file offset; with several, the file offset of the
  // table of strip offsets.
  uint32_t offsets = 1;
  int entrySize = 2;
  // Two SHORT offsets fit in the entry's value field itself.
  bool tableInField = false;
  std::array<uint8_t, 4> field{};
};

}  // namespace

ImageReadResult ReadTiff(ImageBuffer& image, ImageFile& in) {
  BinaryFile& file = in.file;
  std::vector<uint8_t> block;
  try {
    block.assign(kWorkBlockSize, 0);
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
  if (!file.Seek(0)) {
    return kImageUnreadable;
  }
  size_t blockBytes = file.Read(block.data(), block.size());
  if (blockBytes < 8) {
    return kImageUnreadable;
  }
  ByteOrder order;
  if (block[0] == 'I' && block[2] == 42) {
    order.bigEndian = false;
  } else if (block[0] == 'M' && block[3] == 42) {
    order.bigEndian = true;
  } else {
    return kImageUnreadable;
  }

  const uint32_t firstIfd = order.Get32(&block[4]);
  size_t ifd = firstIfd;
  if (firstIfd >= kWorkBlockSize) {
    if (!file.Seek(firstIfd)) {
      return kImageUnreadable;
    }
    std::fill(block.begin(), block.end(), uint8_t{0});
    blockBytes = file.Read(block.data(), block.size());
    ifd = 0;
  }
  if (ifd + 2 > blockBytes) {
    return kImageUnreadable;
  }

  uint32_t width = 32;
  uint32_t height = 32;
  uint32_t samplesPerPixel = 3;
  uint32_t rowsPerStrip = 8192;
  StripLayout strips;
  // Entries that do not lie wholly inside the block are not read.
  const size_t entryCount = order.Get16(&block[ifd]);
  for (size_t i = 0; i < entryCount; ++i) {
    const size_t at = ifd + 2 + i * kEntrySize;
    if (at + kEntrySize > blockBytes) {
      break;
    }
    const uint8_t* entry = &block[at];
    const uint16_t tag = order.Get16(entry);
    const uint16_t type = order.Get16(entry + 2);
    const uint32_t count = order.Get32(entry + 4);
    const uint8_t* field = entry + 8;
    const uint32_t value = order.Value(type, field);
    switch (tag) {
      case kTagImageWidth:
        width = value;
        if (width > ImageBuffer::kMaxSide) {
          return kImageTooLarge;
        }
        break;
      case kTagImageLength:
        height = value;
        if (height > ImageBuffer::kMaxSide) {
          return kImageTooLarge;
        }
        break;
      case kTagCompression:
        if (value != 1) {
          return kImageCompressed;
        }
        break;
      case kTagStripOffsets:
        strips.count = count;
        strips.entrySize = type == kTypeShort ? 2 : 4;
        strips.tableInField = count > 1 && int64_t{count} * strips.entrySize <= 4;
        strips.offsets = count == 1 ? value : order.Get32(field);
        std::copy_n(field, 4, strips.field.begin());
        break;
      case kTagSamplesPerPixel:
        samplesPerPixel = value;
        break;
      case kTagRowsPerStrip:
        rowsPerStrip = value;
        break;
      default:
        break;  // BitsPerSample, Photometric, PlanarConfiguration ... are not consulted
    }
  }
  // One sample is an 8-bit grey (palette) picture, three RGB, four RGBA;
  // anything else does not fit the buffer's pixels.
  if (samplesPerPixel != 1 && samplesPerPixel != 3 && samplesPerPixel != 4) {
    return kImageUnreadable;
  }
  // Several strips of no rows each would never fill the picture.
  if (strips.count > 1 && rowsPerStrip == 0) {
    return kImageUnreadable;
  }
  const int bitsPerPixel = static_cast<int>(samplesPerPixel) * 8;
  if (const ImageReadResult created =
          image_reader::CreatePicture(image, width, height, bitsPerPixel);
      created != kImageRead) {
    return created;
  }

  const size_t rowBytes = static_cast<size_t>(width) * samplesPerPixel;
  const int rows = image.Height();
  if (strips.count == 1) {
    if (file.Seek(strips.offsets)) {
      for (int y = 0; y < rows; ++y) {
        if (file.Read(image.RowPointer(y), rowBytes) == 0) {
          break;
        }
      }
    }
  } else {
    int y = 0;
    for (uint32_t s = 0; s < strips.count && y < rows; ++s) {
      std::array<uint8_t, 4> entry{};
      if (strips.tableInField) {
        std::copy_n(strips.field.begin() + size_t{s} * 2, 2, entry.begin());
      } else if (!file.Seek(int64_t{strips.offsets} + int64_t{s} * strips.entrySize) ||
                 !image_reader::ReadFully(file, entry.data(), strips.entrySize)) {
        break;  // the table runs past the end of the file; so would every later entry
      }
      const uint32_t offset =
          strips.entrySize == 2 ? order.Get16(entry.data()) : order.Get32(entry.data());
      if (!file.Seek(offset)) {
        continue;
      }
      for (uint32_t r = 0; r < rowsPerStrip && y < rows; ++r) {
        if (file.Read(image.RowPointer(y), rowBytes) == 0) {
          break;
        }
        ++y;
      }
    }
  }

  // TIFF rows run top to bottom and pixels red, green, blue.
  image.FlipVertical();
  if (bitsPerPixel >= 24) {
    image.SwapRedBlue();
  }
  return kImageRead;
}

}  // namespace vantoril

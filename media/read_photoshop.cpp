#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "media/image_reader_support.h"
#include "media/image_readers.h"

namespace vantoril {

namespace {

using image_reader::BigEndian16;
using image_reader::BigEndian32;

// The file header (26 bytes) and the colour mode data length that follows it,
// as offsets of their big-endian fields.
constexpr int kVersion = 4;
constexpr int kChannels = 12;
constexpr int kHeight = 14;
constexpr int kWidth = 18;
constexpr int kDepth = 22;
constexpr int kMode = 24;
constexpr int kColorDataLength = 26;
constexpr int kHeaderSize = kColorDataLength + 4;
constexpr size_t kWorkBlockSize = 1536;
constexpr int kMaxChannels = 56;

enum ColorMode : uint16_t { kBitmap = 0, kGreyscale = 1, kIndexed = 2, kRgb = 3, kCmyk = 4 };

struct Layout {
  int channels = 0;
  int width = 0;
  int height = 0;
  int bytesPerSample = 1;
  uint16_t mode = kRgb;
  bool packBits = false;
};

// Puts the samples of one file row of channel c into a buffer row.
void StoreRow(const Layout& layout, int channel, const uint8_t* samples,
              const std::array<uint8_t, kWorkBlockSize>& colorData, uint8_t* row, int pixelBytes) {
  // For 16-bit samples the first (high) byte is taken.
  const size_t step = layout.bytesPerSample;
  for (size_t x = 0; x < static_cast<size_t>(layout.width); ++x, row += pixelBytes) {
    const uint8_t sample = samples[x * step];
    switch (layout.mode) {
      case kGreyscale:
      case kIndexed:
        if (channel == 1) {
          row[3] = sample;  // the transparency that follows the one colour channel
        } else if (layout.mode == kGreyscale) {
          row[0] = row[1] = row[2] = sample;
        } else {
          // The palette is 256 red values, then 256 green, then 256 blue.
          row[0] = colorData[512 + sample];
          row[1] = colorData[256 + sample];
          row[2] = colorData[sample];
        }
        break;
      case kCmyk:
        // Each ink is stored turned over (255 for none): cyan's becomes red,
        // magenta's green, yellow's blue; black's then darkens all three.
        if (channel < 3) {
          row[2 - channel] = sample;
        } else if (channel == 3) {
          for (int c = 0; c < 3; ++c) row[c] = static_cast<uint8_t>((row[c] * sample + 127) / 255);
        } else {
          row[3] = sample;
        }
        break;
      default:
        // Red, green, blue, alpha in file order into blue, green, red, alpha.
        row[channel == 3 ? 3 : 2 - channel] = sample;
        break;
    }
  }
}

// Takes the picture's layout from the header; the colour mode data's length
// is the one field that is not part of it.
ImageReadResult ParseHeader(const std::array<uint8_t, kHeaderSize>& header, Layout& layout,
                            uint32_t& colorDataLength) {
  const uint16_t version = BigEndian16(&header[kVersion]);
  layout.channels = BigEndian16(&header[kChannels]);
  const uint32_t height = BigEndian32(&header[kHeight]);
  const uint32_t width = BigEndian32(&header[kWidth]);
  const int depth = BigEndian16(&header[kDepth]);
  layout.mode = BigEndian16(&header[kMode]);
  colorDataLength = BigEndian32(&header[kColorDataLength]);

  // Bitmap mode holds one bit per pixel, which is not decoded; the other
  // modes (duotone, Lab ...) are not read either.
  if (layout.mode > kCmyk || layout.mode == kBitmap) {
    return kImageUnreadable;
  }
  if (height > ImageBuffer::kMaxSide || width > ImageBuffer::kMaxSide) {
    return kImageTooLarge;
  }
  // Version 2 (the large document format) has wider length fields; 32-bit
  // samples are floating point.
  if (version != 1 || layout.channels < 1 || layout.channels > kMaxChannels ||
      (depth != 8 && depth != 16)) {
    return kImageUnreadable;
  }
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  layout.bytesPerSample = depth / 8;
  return kImageRead;
}

// Reads the colour mode data and passes over the sections between it and the
// image data, up to and including the compression code.
ImageReadResult ReadUpToImageData(BinaryFile& file, uint32_t colorDataLength, Layout& layout,
                                  std::array<uint8_t, kWorkBlockSize>& colorData) {
  // For indexed pictures the colour mode data is the 768-byte palette.
  const size_t colorBytes = std::min<size_t>(colorDataLength, colorData.size());
  if (!image_reader::ReadFully(file, colorData.data(), colorBytes) ||
      !file.Seek(int64_t{kHeaderSize} + colorDataLength)) {
    return kImageUnreadable;
  }
  // The image resources and the layer and mask section are passed over.
  for (int section = 0; section < 2; ++section) {
    std::array<uint8_t, 4> length{};
    if (!image_reader::ReadFully(file, length.data(), length.size()) ||
        !file.Skip(BigEndian32(length.data()))) {
      return kImageUnreadable;
    }
  }
  std::array<uint8_t, 2> compression{};
  if (!image_reader::ReadFully(file, compression.data(), compression.size())) {
    return kImageUnreadable;
  }
  // 0 raw, 1 PackBits; 2 and 3 are zip-compressed.
  const uint16_t compressionCode = BigEndian16(compression.data());
  if (compressionCode > 1) {
    return kImageCompressed;
  }
  layout.packBits = compressionCode == 1;
  return kImageRead;
}

// The PackBits row counts: one 2-byte count per row per channel, for every
// channel, before the channels' data. Counts a short file lacks are 0. Too
// large a sum for a channel is a damaged file.
ImageReadResult ReadRowCounts(BinaryFile& file, const Layout& layout, int storedChannels,
                              std::vector<uint16_t>& rowCounts) {
  rowCounts.assign(static_cast<size_t>(storedChannels) * layout.height, 0);
  std::vector<uint8_t> table(rowCounts.size() * 2);
  const size_t got = file.Read(table.data(), table.size());
  for (size_t i = 0; i < got / 2; ++i) {
    rowCounts[i] = BigEndian16(&table[i * 2]);
  }
  // A channel cannot take more than half as much again as its raw plane.
  const int64_t planeBytes = int64_t{layout.width} * layout.height * layout.bytesPerSample;
  const int64_t limit = planeBytes + planeBytes / 2;
  for (int c = 0; c < storedChannels; ++c) {
    int64_t sum = 0;
    for (int r = 0; r < layout.height; ++r) {
      sum += rowCounts[static_cast<size_t>(c) * layout.height + r];
    }
    if (sum > limit) {
      return kImageUnreadable;
    }
  }
  return kImageRead;
}

// Reads the stored channels plane by plane from channelStart into the
// picture, as far as the file goes.
void ReadChannels(BinaryFile& file, const Layout& layout, int storedChannels,
                  const std::vector<uint16_t>& rowCounts,
                  const std::array<uint8_t, kWorkBlockSize>& colorData, int64_t channelStart,
                  ImageBuffer& image) {
  const int pixelBytes = image.BitsPerPixel() / 8;
  const size_t rowBytes = static_cast<size_t>(layout.width) * layout.bytesPerSample;
  const int64_t planeBytes = int64_t{layout.width} * layout.height * layout.bytesPerSample;
  std::vector<uint8_t> decodedRow(rowBytes);
  std::vector<uint8_t> packedRow;
  if (layout.packBits) {
    packedRow.resize(UINT16_MAX);
  }
  for (int c = 0; c < storedChannels; ++c) {
    if (!file.Seek(channelStart)) {
      break;
    }
    for (int r = 0; r < layout.height; ++r) {
      std::fill(decodedRow.begin(), decodedRow.end(), uint8_t{0});
      bool fileEnded = false;
      if (layout.packBits) {
        const uint16_t count = rowCounts[static_cast<size_t>(c) * layout.height + r];
        const size_t got = file.Read(packedRow.data(), count);
        channelStart += count;
        UnpackBits(decodedRow, std::span<const uint8_t>(packedRow.data(), got));
        fileEnded = got < count;
      } else {
        fileEnded = file.Read(decodedRow.data(), rowBytes) < rowBytes;
      }
      StoreRow(layout, c, decodedRow.data(), colorData, image.RowPointer(layout.height - 1 - r),
               pixelBytes);
      if (fileEnded) {
        break;
      }
    }
    if (!layout.packBits) {
      channelStart += planeBytes;
    }
  }
}

}  // namespace

ImageReadResult ReadPhotoshop(ImageBuffer& image, ImageFile& in) {
  BinaryFile& file = in.file;
  std::array<uint8_t, kHeaderSize> header{};
  if (!file.Seek(0) || !image_reader::ReadFully(file, header.data(), header.size())) {
    return kImageUnreadable;
  }
  Layout layout;
  uint32_t colorDataLength = 0;
  if (const ImageReadResult parsed = ParseHeader(header, layout, colorDataLength);
      parsed != kImageRead) {
    return parsed;
  }
  std::array<uint8_t, kWorkBlockSize> colorData{};
  if (const ImageReadResult reached = ReadUpToImageData(file, colorDataLength, layout, colorData);
      reached != kImageRead) {
    return reached;
  }

  // The channel after the colour ones is the picture's transparency.
  const int colorChannels = layout.mode == kCmyk ? 4 : layout.mode == kRgb ? 3 : 1;
  if (layout.channels < colorChannels && layout.mode == kCmyk) {
    return kImageUnreadable;  // an ink missing
  }
  const int bitsPerPixel = layout.channels > colorChannels ? 32 : 24;
  if (const ImageReadResult created =
          image_reader::CreatePicture(image, layout.width, layout.height, bitsPerPixel);
      created != kImageRead) {
    return created;
  }
  // The colour channels and the transparency; further channels are passed
  // over.
  const int storedChannels = std::min(layout.channels, colorChannels + 1);

  try {
    int64_t channelStart = file.Position();
    std::vector<uint16_t> rowCounts;
    if (layout.packBits) {
      if (const ImageReadResult counted = ReadRowCounts(file, layout, storedChannels, rowCounts);
          counted != kImageRead) {
        return counted;
      }
      channelStart += int64_t{layout.channels} * layout.height * 2;
    }
    ReadChannels(file, layout, storedChannels, rowCounts, colorData, channelStart, image);
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
  return kImageRead;
}

}  // namespace vantoril

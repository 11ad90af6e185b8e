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

constexpr int kHeaderSize = 30;  // the 26-byte file header and the colour mode data length
constexpr size_t kWorkBlockSize = 1536;
constexpr int kMaxChannels = 56;
constexpr int kStoredChannelLimit = 4;

enum ColorMode : uint16_t { kBitmap = 0, kGreyscale = 1, kIndexed = 2, kRgb = 3 };

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
        row[0] = row[1] = row[2] = sample;
        break;
      case kIndexed:
        // The palette is 256 red values, then 256 green, then 256 blue.
        row[0] = colorData[512 + sample];
        row[1] = colorData[256 + sample];
        row[2] = colorData[sample];
        break;
      default:
        // Red, green, blue, alpha in file order into blue, green, red, alpha.
        row[channel == 3 ? 3 : 2 - channel] = sample;
        break;
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
  const uint16_t version = BigEndian16(&header[4]);
  layout.channels = BigEndian16(&header[12]);
  const uint32_t height = BigEndian32(&header[14]);
  const uint32_t width = BigEndian32(&header[18]);
  const int depth = BigEndian16(&header[22]);
  layout.mode = BigEndian16(&header[24]);
  const uint32_t colorDataLength = BigEndian32(&header[26]);

  // Bitmap mode holds one bit per pixel, which is not decoded; CMYK and the
  // other modes are not read either.
  if (layout.mode > kRgb || layout.mode == kBitmap) {
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

  // For indexed pictures the colour mode data is the 768-byte palette.
  std::array<uint8_t, kWorkBlockSize> colorData{};
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

  const int bitsPerPixel = std::clamp(layout.channels * 8, 24, 32);
  if (const ImageReadResult created =
          image_reader::CreatePicture(image, width, height, bitsPerPixel);
      created != kImageRead) {
    return created;
  }
  const int pixelBytes = bitsPerPixel / 8;
  // Greyscale and indexed pictures take channel 0 alone; RGB up to four
  // channels (the fourth is alpha, and only a 32-bit buffer has one).
  const int storedChannels =
      layout.mode == kRgb ? std::min(layout.channels, kStoredChannelLimit) : 1;
  const size_t rowBytes = static_cast<size_t>(layout.width) * layout.bytesPerSample;
  const int64_t planeBytes = int64_t{layout.width} * layout.height * layout.bytesPerSample;

  try {
    std::vector<uint8_t> decodedRow(rowBytes);
    int64_t channelStart = file.Position();
    std::vector<uint16_t> rowCounts;
    std::vector<uint8_t> packedRow;
    if (layout.packBits) {
      // One 2-byte count per row per channel, for every channel, then the
      // channels' data one after another. Counts a short file lacks are 0.
      rowCounts.assign(static_cast<size_t>(storedChannels) * layout.height, 0);
      std::vector<uint8_t> table(rowCounts.size() * 2);
      const size_t got = file.Read(table.data(), table.size());
      for (size_t i = 0; i < got / 2; ++i) {
        rowCounts[i] = BigEndian16(&table[i * 2]);
      }
      channelStart += int64_t{layout.channels} * layout.height * 2;
      // A channel cannot take more than half as much again as its raw plane.
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
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
  return kImageRead;
}

}  // namespace vantoril

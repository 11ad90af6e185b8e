#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <vector>

#include "media/image_reader_support.h"
#include "media/image_readers.h"
#include "media/reduced_rows.h"
#include "media/tiff_strip_decoder.h"

namespace vantoril {

namespace {

constexpr size_t kWorkBlockSize = 4096;

// The file header: byte order mark, the number 42 in that order, and the
// offset of the first image file directory.
constexpr size_t kHeaderSize = 8;
constexpr size_t kFirstIfdOffset = 4;
constexpr uint8_t kMagic = 42;

// A directory entry: tag 2, type 2, count 4, value 4.
constexpr int kEntrySize = 12;
constexpr int kEntryType = 2;
constexpr int kEntryCount = 4;
constexpr int kEntryValue = 8;

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

constexpr uint16_t kTagImageWidth = 256;
constexpr uint16_t kTagImageLength = 257;
constexpr uint16_t kTagBitsPerSample = 258;
constexpr uint16_t kTagCompression = 259;
constexpr uint16_t kTagPhotometric = 262;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagSamplesPerPixel = 277;
constexpr uint16_t kTagRowsPerStrip = 278;
constexpr uint16_t kTagStripByteCounts = 279;
constexpr uint16_t kTagPlanarConfiguration = 284;
constexpr uint16_t kTagPredictor = 317;
constexpr uint16_t kTagInkSet = 332;
constexpr uint16_t kTagColorMap = 320;
constexpr uint16_t kTagTileWidth = 322;
constexpr uint16_t kTagTileLength = 323;
constexpr uint16_t kTagTileOffsets = 324;
constexpr uint16_t kTagTileByteCounts = 325;
constexpr uint16_t kTagJpegTables = 347;

// PhotometricInterpretation.
constexpr uint32_t kMinIsWhite = 0;
constexpr uint32_t kMinIsBlack = 1;
constexpr uint32_t kRgb = 2;
constexpr uint32_t kPalette = 3;
constexpr uint32_t kSeparated = 5;  // inks
constexpr uint32_t kYCbCr = 6;      // JPEG blocks only
constexpr uint32_t kInkSetCmyk = 1;
constexpr uint32_t kNotGiven = 0xFFFFFFFF;

// PlanarConfiguration: a pixel's samples side by side, or each sample in a
// plane of its own, strip by strip.
constexpr uint32_t kSamplesTogether = 1;
constexpr uint32_t kPlanesApart = 2;

constexpr uint32_t kUncompressed = 1;
constexpr uint32_t kJpeg = 7;
// Predictor: each sample stored as its difference from the one before it in
// the row.
constexpr uint32_t kNoPrediction = 1;
constexpr uint32_t kHorizontalDifferences = 2;

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

// A value per strip (its file offset, or its stored size).
struct StripLayout {
  uint32_t count = 1;
  // With one strip its value; with several, the file offset of the table
  // of values.
  uint32_t offsets = 1;
  int entrySize = 2;
  // Two SHORT values fit in the entry's value field itself.
  bool tableInField = false;
  std::array<uint8_t, 4> field{};

  void Take(uint16_t type, uint32_t entryCount, uint32_t value, const uint8_t* valueField,
            uint32_t fieldLong) {
    count = entryCount;
    entrySize = type == kTypeShort ? 2 : 4;
    tableInField = count > 1 && int64_t{count} * entrySize <= 4;
    offsets = count == 1 ? value : fieldLong;
    std::copy_n(valueField, 4, field.begin());
  }
};

// What the directory says about the picture; the defaults stand for the
// tags a file leaves out.
struct TiffFields {
  uint32_t width = 32;
  uint32_t height = 32;
  uint32_t samplesPerPixel = 3;
  uint32_t rowsPerStrip = 8192;
  StripLayout strips;
  uint32_t compression = kUncompressed;
  StripLayout byteCounts{.count = 0};  // needed by compressed strips only
  uint32_t predictor = kNoPrediction;
  uint32_t inkSet = kInkSetCmyk;
  // Files that leave these out have always been read as 8-bit, interleaved
  // samples; so they still are.
  uint32_t bitsPerSample = 8;
  uint32_t bitsTable = 0;  // file offset of the per-sample list, when it is not in the entry
  uint32_t photometric = kNotGiven;
  uint32_t planar = kSamplesTogether;
  uint32_t colorMap = 0;  // file offset of the colour map; 0: none
  // Tiles, when the directory gives them: their offsets and sizes are then
  // held in strips and byteCounts.
  uint32_t tileWidth = 0;
  uint32_t tileLength = 0;
  bool Tiled() const { return tileWidth != 0 || tileLength != 0; }
  // JPEG blocks: where the tables they share lie, and their size.
  uint32_t jpegTables = 0;
  uint32_t jpegTablesSize = 0;
};

// Reads the start of the file into block and finds the first directory in
// it (at ifd), reading the block again from the directory when it lies
// further on.
ImageReadResult ReadDirectoryBlock(BinaryFile& file, std::vector<uint8_t>& block, ByteOrder& order,
                                   size_t& blockBytes, size_t& ifd) {
  if (!file.Seek(0)) {
    return kImageUnreadable;
  }
  blockBytes = file.Read(block.data(), block.size());
  if (blockBytes < kHeaderSize) {
    return kImageUnreadable;
  }
  if (block[0] == 'I' && block[2] == kMagic) {
    order.bigEndian = false;
  } else if (block[0] == 'M' && block[3] == kMagic) {
    order.bigEndian = true;
  } else {
    return kImageUnreadable;
  }

  const uint32_t firstIfd = order.Get32(&block[kFirstIfdOffset]);
  ifd = firstIfd;
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
  return kImageRead;
}

// Takes the tags the reader knows from the directory at ifd. Entries that do
// not lie wholly inside the block are not read.
ImageReadResult ParseDirectory(const std::vector<uint8_t>& block, size_t blockBytes, size_t ifd,
                               const ByteOrder& order, TiffFields& fields) {
  const size_t entryCount = order.Get16(&block[ifd]);
  for (size_t i = 0; i < entryCount; ++i) {
    const size_t at = ifd + 2 + i * kEntrySize;
    if (at + kEntrySize > blockBytes) {
      break;
    }
    const uint8_t* entry = &block[at];
    const uint16_t tag = order.Get16(entry);
    const uint16_t type = order.Get16(entry + kEntryType);
    const uint32_t count = order.Get32(entry + kEntryCount);
    const uint8_t* field = entry + kEntryValue;
    const uint32_t value = order.Value(type, field);
    switch (tag) {
      case kTagImageWidth:
        fields.width = value;
        break;
      case kTagImageLength:
        fields.height = value;
        break;
      case kTagCompression:
        if (value != kUncompressed && !TiffStripDecoder::MethodOf(value)) {
          return kImageCompressed;
        }
        fields.compression = value;
        break;
      // A file with tiles has no strips; one that lists both is read by its
      // tiles.
      case kTagStripOffsets:
        if (!fields.Tiled()) fields.strips.Take(type, count, value, field, order.Get32(field));
        break;
      case kTagStripByteCounts:
        if (!fields.Tiled()) fields.byteCounts.Take(type, count, value, field, order.Get32(field));
        break;
      case kTagTileOffsets:
        fields.strips.Take(type, count, value, field, order.Get32(field));
        break;
      case kTagTileByteCounts:
        fields.byteCounts.Take(type, count, value, field, order.Get32(field));
        break;
      case kTagPredictor:
        fields.predictor = value;
        break;
      case kTagInkSet:
        fields.inkSet = value;
        break;
      case kTagSamplesPerPixel:
        fields.samplesPerPixel = value;
        break;
      case kTagRowsPerStrip:
        fields.rowsPerStrip = value;
        break;
      // A sample count of up to two SHORTs sits in the entry; more lie in
      // a list elsewhere (every sample has the same size in the files read).
      case kTagBitsPerSample:
        fields.bitsPerSample = value;
        fields.bitsTable = count > 2 ? order.Get32(field) : 0;
        break;
      case kTagPhotometric:
        fields.photometric = value;
        break;
      case kTagPlanarConfiguration:
        fields.planar = value;
        break;
      case kTagColorMap:
        fields.colorMap = order.Get32(field);
        break;
      case kTagTileWidth:
        fields.tileWidth = std::max(value, 1U);
        break;
      case kTagTileLength:
        fields.tileLength = std::max(value, 1U);
        break;
      case kTagJpegTables:
        if (count > 4) {
          fields.jpegTables = order.Get32(field);
          fields.jpegTablesSize = count;
        }
        break;
      default:
        break;  // orientation, resolution, alpha kind ... change nothing read
    }
  }
  return kImageRead;
}

// Whether the tables list every block of tiles or of planes apart (their
// blocks are found by their place in the tables), with tiles no larger than
// a picture may be. The table must lie in the file, which bounds the blocks
// to visit by the file's size.
bool BlocksListed(const TiffFields& fields, int64_t fileSize) {
  const bool planes = fields.planar == kPlanesApart && fields.samplesPerPixel > 1;
  if (!planes && !fields.Tiled()) {
    return true;
  }
  const uint64_t blockWidth = fields.Tiled() ? fields.tileWidth : fields.width;
  const uint64_t blockRows = fields.Tiled() ? fields.tileLength : fields.rowsPerStrip;
  if (blockWidth == 0 || blockRows == 0 ||
      (fields.Tiled() &&
       (blockWidth > ImageBuffer::kMaxSide || blockRows > ImageBuffer::kMaxSide))) {
    return false;
  }
  const uint64_t blocks = (fields.width + blockWidth - 1) / blockWidth *
                          ((fields.height + blockRows - 1) / blockRows) *
                          (planes ? fields.samplesPerPixel : 1);
  const StripLayout& table = fields.strips;
  return table.count >= blocks &&
         (table.count == 1 || table.tableInField ||
          int64_t{table.offsets} + int64_t{table.count} * table.entrySize <= fileSize);
}

// The kinds of TIFF that would read as a wrong picture are refused.
ImageReadResult CheckKind(const TiffFields& fields) {
  if (fields.bitsPerSample < 8) {
    return kImageTooFewColors;
  }
  // Uncompressed files have always been read without their predictor.
  if (fields.compression != kUncompressed && fields.predictor != kNoPrediction &&
      fields.predictor != kHorizontalDifferences) {
    return kImageUnreadable;  // floating-point differences
  }
  if ((fields.bitsPerSample != 8 && fields.bitsPerSample != 16) ||
      (fields.compression == kJpeg && fields.bitsPerSample != 8) ||
      (fields.planar != kSamplesTogether && fields.planar != kPlanesApart &&
       fields.samplesPerPixel > 1)) {
    return kImageUnreadable;
  }
  switch (fields.photometric) {
    case kNotGiven:
    case kMinIsWhite:
    case kMinIsBlack:
    case kRgb:
      return kImageRead;
    case kPalette:
      return fields.samplesPerPixel == 1 && fields.bitsPerSample == 8 && fields.colorMap != 0
                 ? kImageRead
                 : kImageUnreadable;
    // Cyan, magenta, yellow and black (print work), with or without alpha.
    case kSeparated:
      return (fields.samplesPerPixel == 4 || fields.samplesPerPixel == 5) &&
                     fields.inkSet == kInkSetCmyk
                 ? kImageRead
                 : kImageUnreadable;
    // JPEG blocks turn it into red, green and blue as they are decoded.
    case kYCbCr:
      return fields.compression == kJpeg && fields.samplesPerPixel == 3 &&
                     fields.planar == kSamplesTogether
                 ? kImageRead
                 : kImageUnreadable;
    default:
      return kImageUnreadable;  // YCbCr, CIE Lab ...
  }
}

// The 8-bit picture's palette: the file's colour map (three planes of 256
// 16-bit values, red first), or the grey ramp turned over for white at 0.
ImageReadResult ReadPalette(BinaryFile& file, ImageBuffer& image, const TiffFields& fields,
                            const ByteOrder& order) {
  if (fields.samplesPerPixel != 1) {
    return kImageRead;
  }
  if (fields.photometric == kMinIsWhite) {
    for (int i = 0; i < 256; ++i) {
      uint8_t* entry = image.PaletteEntry(i);
      entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(255 - i);
    }
  } else if (fields.photometric == kPalette) {
    std::array<uint8_t, size_t{3} * 256 * 2> map{};
    if (!file.Seek(fields.colorMap) || !image_reader::ReadFully(file, map.data(), map.size())) {
      return kImageUnreadable;
    }
    for (int i = 0; i < 256; ++i) {
      uint8_t* entry = image.PaletteEntry(i);
      for (int plane = 0; plane < 3; ++plane) {
        entry[2 - plane] = static_cast<uint8_t>(order.Get16(&map[(plane * 256 + i) * 2]) >> 8);
      }
    }
  }
  return kImageRead;
}

// Strip s's value from its layout; false when its table runs past the end
// of the file.
bool StripValue(BinaryFile& file, const StripLayout& layout, uint32_t s, const ByteOrder& order,
                uint32_t& value) {
  if (layout.count == 1) {
    value = layout.offsets;
    return true;
  }
  std::array<uint8_t, 4> entry{};
  if (layout.tableInField) {
    std::copy_n(layout.field.begin() + size_t{s} * 2, 2, entry.begin());
  } else if (!file.Seek(int64_t{layout.offsets} + int64_t{s} * layout.entrySize) ||
             !image_reader::ReadFully(file, entry.data(), layout.entrySize)) {
    return false;
  }
  value = layout.entrySize == 2 ? order.Get16(entry.data()) : order.Get32(entry.data());
  return true;
}

// Undoes horizontal differencing: each sample was stored less the one a
// pixel before it, `step` samples back, in samples of one or two bytes in
// the file's order.
void AddPredictions(uint8_t* row, size_t bytes, size_t step, const TiffFields& fields,
                    const ByteOrder& order) {
  if (fields.bitsPerSample == 8) {
    for (size_t i = step; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - step]);
    return;
  }
  for (size_t i = step; i < bytes / 2; ++i) {
    const auto sum =
        static_cast<uint16_t>(order.Get16(row + 2 * i) + order.Get16(row + 2 * (i - step)));
    row[2 * i + (order.bigEndian ? 0 : 1)] = static_cast<uint8_t>(sum >> 8);
    row[2 * i + (order.bigEndian ? 1 : 0)] = static_cast<uint8_t>(sum & 0xFF);
  }
}

// Reads the rows strip by strip into the picture, as far as the file goes.
// 16-bit samples keep their high byte; grey with alpha becomes grey in blue,
// green and red, and alpha. False for a strip in a flavour not read.
bool ReadStrips(BinaryFile& file, ImageBuffer& image, const TiffFields& fields,
                const ByteOrder& order, ReducedRows* reduced) {
  const StripLayout& strips = fields.strips;
  const size_t samples = static_cast<size_t>(fields.width) * fields.samplesPerPixel;
  const size_t sampleBytes = fields.bitsPerSample / 8;
  const bool greyAlpha = fields.samplesPerPixel == 2;
  const bool inks = fields.photometric == kSeparated;
  // Planes apart and tiles are gathered a band of rows at a time into 8-bit
  // samples side by side, which the rows then take as if the file held them
  // so.
  const bool planes = fields.planar == kPlanesApart && fields.samplesPerPixel > 1;
  const bool banded = planes || fields.Tiled();
  const size_t rowSampleBytes = banded ? 1 : sampleBytes;
  const bool asStored = rowSampleBytes == 1 && !greyAlpha && !inks;
  const size_t pixelBytes = static_cast<size_t>(image.BitsPerPixel()) / 8;
  std::vector<uint8_t> fileRow(asStored ? 0 : samples * rowSampleBytes);
  const size_t highByte = sampleBytes == 2 && !order.bigEndian ? 1 : 0;
  const size_t rowHighByte = banded ? 0 : highByte;
  const uint8_t white = fields.photometric == kMinIsWhite ? 255 : 0;
  // The stored blocks: strips of whole rows, or tiles.
  const uint32_t spp = fields.samplesPerPixel;
  const uint32_t blockSpp = planes ? 1 : spp;
  const uint32_t blockWidth = fields.Tiled() ? fields.tileWidth : fields.width;
  const uint32_t blockRows = fields.Tiled() ? fields.tileLength : fields.rowsPerStrip;
  const std::optional<TiffStripDecoder::Method> method =
      TiffStripDecoder::MethodOf(fields.compression);
  std::optional<TiffStripDecoder> decoder;
  // Whole strips read every stored byte once; twice is the most any file
  // may ask for.
  if (method) decoder.emplace(*method, 2 * std::max<int64_t>(file.Size(), 0));
  const bool jpeg = method == TiffStripDecoder::Method::kJpeg;
  if (jpeg) {
    std::vector<uint8_t> tables;
    if (fields.jpegTables != 0 && fields.jpegTablesSize <= file.Size()) {
      tables.resize(fields.jpegTablesSize);
      if (!file.Seek(fields.jpegTables) ||
          !image_reader::ReadFully(file, tables.data(), tables.size())) {
        tables.clear();
      }
    }
    decoder->UseJpeg(fields.photometric == kYCbCr, blockWidth,
                     fields.Tiled() ? blockRows : std::min(blockRows, fields.height),
                     static_cast<int>(blockSpp), tables);
  }
  const bool predicted = decoder && !jpeg && fields.predictor == kHorizontalDifferences;
  const auto fetchStored = [&](uint8_t* to, size_t count) {
    return decoder ? decoder->Read(to, count) : file.Read(to, count);
  };
  std::vector<uint8_t> band;
  size_t bandAt = 0;
  const auto fetch = [&](uint8_t* to, size_t count) {
    if (!banded) return fetchStored(to, count);
    const size_t taken = std::min(count, band.size() - bandAt);
    std::copy_n(band.data() + bandAt, taken, to);
    bandAt += taken;
    return taken;
  };
  // A strip in a flavour not read refuses the picture.
  bool refused = false;
  // Goes to strip s, at the file offset given.
  const auto startStrip = [&](uint32_t s, uint32_t offset) {
    if (!decoder) return file.Seek(offset);
    // A size that is not given, or not believable, is the rest of the file.
    const int64_t rest = std::max<int64_t>(file.Size() - offset, 0);
    uint32_t size = 0;
    const bool sized =
        s < fields.byteCounts.count && StripValue(file, fields.byteCounts, s, order, size);
    if (decoder->Start(file, offset, sized ? std::min<int64_t>(size, rest) : rest)) return true;
    refused = true;
    return false;
  };
  // Fills row y; false when the file has nothing more to give.
  const auto fillRow = [&](int y) {
    uint8_t* row = reduced != nullptr ? reduced->Row() : image.RowPointer(y);
    if (asStored) {
      const size_t got = fetch(row, samples);
      if (predicted && !banded) AddPredictions(row, got, fields.samplesPerPixel, fields, order);
      return got != 0;
    }
    const size_t bytes = fetch(fileRow.data(), fileRow.size());
    if (predicted && !banded) {
      AddPredictions(fileRow.data(), bytes, fields.samplesPerPixel, fields, order);
    }
    const size_t got = bytes / rowSampleBytes;
    const auto sample = [&](size_t i) { return fileRow[i * rowSampleBytes + rowHighByte]; };
    if (inks) {
      // Cyan takes red, magenta green, yellow blue (in file order here),
      // each as much as is left of it and of black.
      const size_t spp = fields.samplesPerPixel;
      for (size_t x = 0; x < got / spp; ++x) {
        const auto none = [&](size_t k) { return 255U - sample(spp * x + k); };
        uint8_t* pixel = row + pixelBytes * x;
        for (size_t c = 0; c < 3; ++c) {
          pixel[c] = static_cast<uint8_t>((none(c) * none(3) + 127) / 255);
        }
        if (spp == 5) pixel[3] = sample(spp * x + 4);
      }
    } else if (greyAlpha) {
      for (size_t x = 0; x < got / 2; ++x) {
        row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = static_cast<uint8_t>(sample(2 * x) ^ white);
        row[4 * x + 3] = sample(2 * x + 1);
      }
    } else {
      for (size_t i = 0; i < got; ++i) row[i] = sample(i);
    }
    return got != 0;
  };
  const auto readRow = [&](int y) {
    const bool got = fillRow(y);
    if (reduced != nullptr) reduced->Add();
    return got;
  };
  const int rows = static_cast<int>(fields.height);
  if (banded) {
    // With planes apart, each plane's blocks come after the one before. Block c of band s in plane
    // p is entry (p * bands + s) * across + c of the tables. A block that
    // cannot be read stays 0.
    const uint32_t planeCount = planes ? spp : 1;
    const uint64_t across = (uint64_t{fields.width} + blockWidth - 1) / blockWidth;
    const uint64_t bands = (uint64_t{static_cast<uint32_t>(rows)} + blockRows - 1) / blockRows;
    std::vector<uint8_t> blockRow(size_t{blockWidth} * blockSpp * sampleBytes);
    int y = 0;
    for (uint64_t s = 0; s < bands && y < rows && !refused && !(decoder && decoder->Spent()); ++s) {
      const int bandRows =
          static_cast<int>(std::min<uint64_t>(blockRows, static_cast<uint64_t>(rows - y)));
      band.assign(static_cast<size_t>(bandRows) * samples, 0);
      bandAt = 0;
      for (uint64_t b = 0; b < planeCount * across && !(decoder && decoder->Spent()); ++b) {
        const uint64_t p = b / across;
        const uint64_t c = b % across;
        const auto index = static_cast<uint32_t>((p * bands + s) * across + c);
        uint32_t offset = 0;
        if (!StripValue(file, strips, index, order, offset) || !startStrip(index, offset)) {
          continue;
        }
        // The columns of the block that lie on the picture, as samples.
        const size_t left = c * blockWidth;
        const size_t width = std::min<size_t>(blockWidth, fields.width - left) * blockSpp;
        for (int r = 0; r < bandRows; ++r) {
          const size_t bytes = fetchStored(blockRow.data(), blockRow.size());
          if (predicted) AddPredictions(blockRow.data(), bytes, blockSpp, fields, order);
          uint8_t* to = band.data() + static_cast<size_t>(r) * samples + left * spp + p;
          for (size_t i = 0; i < std::min(width, bytes / sampleBytes); ++i) {
            to[planes ? i * spp : i] = blockRow[i * sampleBytes + highByte];
          }
          if (bytes < blockRow.size()) break;
        }
      }
      for (int r = 0; r < bandRows; ++r) readRow(y++);
    }
    return !refused;
  }
  if (strips.count == 1) {
    if (startStrip(0, strips.offsets)) {
      for (int y = 0; y < rows; ++y) {
        if (!readRow(y)) {
          break;
        }
      }
    }
    return !refused;
  }
  int y = 0;
  for (uint32_t s = 0; s < strips.count && y < rows && !refused && !(decoder && decoder->Spent());
       ++s) {
    uint32_t offset = 0;
    if (!StripValue(file, strips, s, order, offset)) {
      break;  // the table runs past the end of the file; so would every later entry
    }
    if (!startStrip(s, offset)) {
      continue;
    }
    for (uint32_t r = 0; r < fields.rowsPerStrip && y < rows; ++r) {
      if (!readRow(y)) {
        break;
      }
      ++y;
    }
  }
  return !refused;
}

}  // namespace

ImageReadResult ReadTiff(ImageBuffer& image, ImageFile& in) {
  BinaryFile& file = in.file;
  std::vector<uint8_t> block;
  try {
    block.assign(kWorkBlockSize, 0);
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
  ByteOrder order;
  size_t blockBytes = 0;
  size_t ifd = 0;
  if (const ImageReadResult found = ReadDirectoryBlock(file, block, order, blockBytes, ifd);
      found != kImageRead) {
    return found;
  }
  TiffFields fields;
  if (const ImageReadResult parsed = ParseDirectory(block, blockBytes, ifd, order, fields);
      parsed != kImageRead) {
    return parsed;
  }
  // A picture past the largest side (a panorama) is read at a half, a
  // quarter or an eighth of its size.
  const int factor = ReducedRows::FactorFor(fields.width, fields.height);
  if (factor == 0) {
    return kImageTooLarge;
  }
  if (fields.bitsTable != 0) {
    std::array<uint8_t, 2> first{};
    if (!file.Seek(fields.bitsTable) || !image_reader::ReadFully(file, first.data(), 2)) {
      return kImageUnreadable;
    }
    fields.bitsPerSample = order.Get16(first.data());
  }
  if (const ImageReadResult kind = CheckKind(fields); kind != kImageRead) {
    return kind;
  }
  // One sample is an 8-bit grey (palette) picture, two grey with alpha,
  // three RGB, four RGBA, and inks become RGB(A); anything else does not fit
  // the buffer's pixels.
  const uint32_t samplesPerPixel = fields.samplesPerPixel;
  const bool inks = fields.photometric == kSeparated;
  if (samplesPerPixel < 1 || samplesPerPixel > (inks ? 5U : 4U) ||
      (samplesPerPixel == 2 && fields.photometric > kMinIsBlack &&
       fields.photometric != kNotGiven)) {
    return kImageUnreadable;
  }
  // Several strips of no rows each would never fill the picture.
  if (fields.strips.count > 1 && fields.rowsPerStrip == 0 && !fields.Tiled()) {
    return kImageUnreadable;
  }
  if (!BlocksListed(fields, file.Size())) {
    return kImageUnreadable;
  }
  const int bitsPerPixel = inks                   ? (samplesPerPixel == 5 ? 32 : 24)
                           : samplesPerPixel == 2 ? 32
                                                  : static_cast<int>(samplesPerPixel) * 8;
  // Colour indexes cannot be averaged. The file must be large enough to
  // hold such a picture (squeezed as tight as the methods squeeze), so
  // that a few bytes claiming a huge one cannot keep the reader busy.
  constexpr int64_t kTightestSqueeze = int64_t{1} << 16;
  if (factor > 1 &&
      (fields.photometric == kPalette ||
       int64_t{fields.width} * fields.height * samplesPerPixel * (fields.bitsPerSample / 8) >
           std::max<int64_t>(file.Size(), 0) * kTightestSqueeze)) {
    return kImageTooLarge;
  }
  if (const ImageReadResult created =
          image_reader::CreatePicture(image, ReducedRows::Reduced(fields.width, factor),
                                      ReducedRows::Reduced(fields.height, factor), bitsPerPixel);
      created != kImageRead) {
    return created;
  }
  if (const ImageReadResult palette = ReadPalette(file, image, fields, order);
      palette != kImageRead) {
    return palette;
  }
  try {
    std::optional<ReducedRows> reduced;
    if (factor > 1) reduced.emplace(image, static_cast<int>(fields.width), factor, false);
    if (!ReadStrips(file, image, fields, order, reduced ? &*reduced : nullptr)) {
      return kImageCompressed;
    }
    if (reduced) reduced->Finish();
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }

  // TIFF rows run top to bottom and pixels red, green, blue.
  image.FlipVertical();
  if (bitsPerPixel >= 24) {
    image.SwapRedBlue();
  }
  return kImageRead;
}

}  // namespace vantoril

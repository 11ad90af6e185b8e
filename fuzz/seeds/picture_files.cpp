#include "fuzz/seeds/picture_files.h"

// jpeglib.h needs the standard headers before it.
// clang-format off
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
// clang-format on
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "support/byte_writer.h"

namespace vantoril::pictures {

namespace {

using test::ByteWriter;
using Bytes = std::vector<uint8_t>;
using Sample = uint8_t (*)(int x, int y, int c);
using Files = std::vector<PictureFile>;

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

struct Bmp {
  int width = 5;
  int height = 3;  // negative: rows stored top-down
  int bits = 24;
  uint32_t compression = 0;
  uint32_t infoSize = 40;
  uint32_t colorsUsed = 0;          // also the palette entries written
  std::array<uint32_t, 3> masks{};  // compression 3: inside a larger header, else after it
  const char* signature = "BM";
  Sample sample = PatternSample;
  bool pixels = true;  // false: the headers alone
};

Bytes BmpBytes(const Bmp& b) {
  ByteWriter info;
  info.U32LE(b.infoSize).U32LE(b.width).U32LE(static_cast<uint32_t>(b.height)).U16LE(1);
  info.U16LE(b.bits).U32LE(b.compression).U32LE(0).U32LE(2835).U32LE(2835).U32LE(b.colorsUsed);
  info.U32LE(0);
  const auto masks = [&] {
    for (uint32_t mask : b.masks) info.U32LE(mask);
  };
  const bool masksInside = b.compression == 3 && b.infoSize >= 52;
  if (masksInside) masks();
  info.PadTo(b.infoSize);
  if (b.compression == 3 && !masksInside) masks();
  for (uint32_t i = 0; i < b.colorsUsed; ++i) {
    info.U8(10 + i / 2).U8(i ^ 0x55).U8(3).U8(0);
  }
  ByteWriter pixels;
  const int rows = b.pixels ? std::abs(b.height) : 0;
  for (int r = 0; r < rows; ++r) {
    const int y = b.height > 0 ? rows - 1 - r : r;  // bottom-up files store the last line first
    for (int x = 0; x < b.width; ++x) {
      for (int c = 0; c < b.bits / 8; ++c) pixels.U8(b.sample(x, y, c));
    }
    pixels.PadTo((pixels.Size() + 3) & ~size_t{3});
  }
  const auto offBits = static_cast<uint32_t>(14 + info.Size());
  ByteWriter file;
  file.Text(b.signature).U32LE(offBits + static_cast<uint32_t>(pixels.Size())).U32LE(0);
  return file.U32LE(offBits).Bytes(info.Data()).Bytes(pixels.Data()).Data();
}

void AddBmpFiles(Files& files) {
  for (int bits : {8, 16, 24, 32}) {
    const std::string name = "bmp" + std::to_string(bits);
    files.push_back({name + ".bmp", BmpBytes({.bits = bits})});
    files.push_back({name + "-top-down.bmp", BmpBytes({.height = -3, .bits = bits})});
  }
  const std::array<uint32_t, 3> masks555 = {0x7C00, 0x03E0, 0x001F};
  const std::array<uint32_t, 3> masks888 = {0xFF0000, 0xFF00, 0xFF};
  const Files more = {
      {"bmp24-mb.bmp", BmpBytes({.signature = "MB"})},
      {"bmp8-width-8192.bmp", BmpBytes({.width = 8192, .height = 1, .bits = 8, .pixels = false})},
      {"bmp16-bitfields.bmp", BmpBytes({.bits = 16, .compression = 3, .masks = masks555})},
      {"bmp32-bitfields.bmp", BmpBytes({.bits = 32, .compression = 3, .masks = masks888})},
      {"bmp32-bitfields-v5.bmp",
       BmpBytes({.bits = 32, .compression = 3, .infoSize = 124, .masks = masks888})},
      {"bmp8-palette-2.bmp", BmpBytes({.bits = 8, .infoSize = 124, .colorsUsed = 2})},
      {"bmp8-palette-255.bmp", BmpBytes({.bits = 8, .infoSize = 124, .colorsUsed = 255})},
      {"bmp32-alpha-zero.bmp", BmpBytes({.bits = 32,
                                         .sample = [](int x, int y, int c) -> uint8_t {
                                           return c == 3 ? 0 : PatternSample(x, y, c);
                                         }})},
      // One alpha byte set: that of the first pixel stored.
      {"bmp32-alpha-one.bmp", BmpBytes({.bits = 32,
                                        .sample = [](int x, int y, int c) -> uint8_t {
                                          return c < 3              ? PatternSample(x, y, c)
                                                 : x == 0 && y == 2 ? 7
                                                                    : 0;
                                        }})},
      // The bottom line alone (stored first).
      {"bmp24-short.bmp", Cut(BmpBytes({}), 54 + 16)},
      {"bmp-cut-in-header.bmp", Cut(BmpBytes({}), 40)},
      {"bmp16-565.bmp",
       BmpBytes({.bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}})},
      {"bmp24-bitfields.bmp", BmpBytes({.compression = 3, .masks = masks888})},
      {"bmp8-rle.bmp", BmpBytes({.bits = 8, .compression = 1})},
      {"bmp4.bmp", BmpBytes({.bits = 4})},
      {"bmp1.bmp", BmpBytes({.bits = 1})},
      {"bmp24-width-8193.bmp", BmpBytes({.width = 8193, .pixels = false})},
      {"bmp24-height-8193-top-down.bmp", BmpBytes({.height = -8193, .pixels = false})},
      {"bmp48.bmp", BmpBytes({.bits = 48})},
      {"bmp12.bmp", BmpBytes({.bits = 12})},
      {"bmp24-core-header.bmp", BmpBytes({.infoSize = 12})},
      {"bmp24-height-0.bmp", BmpBytes({.height = 0})},
  };
  files.insert(files.end(), more.begin(), more.end());
}

struct Targa {
  int width = 5;
  int height = 3;
  int depth = 24;
  int type = 2;            // 1 colour-mapped, 2 true colour, 3 grey; + 8 run-length
  uint8_t descriptor = 0;  // 0x20: the first row stored is the top one
  std::string id{};
  int mapLength = 0;
  int mapBits = 0;
  bool pixels = true;
  Sample sample = PatternSample;
};

// Run-length packets over the pixels in file order, across the ends of rows:
// a run where two pixels are alike, raw pixels otherwise, 128 at most each.
Bytes TargaPackets(const std::vector<Bytes>& pixels) {
  Bytes out;
  const auto pairAt = [&](size_t i) { return i + 1 < pixels.size() && pixels[i] == pixels[i + 1]; };
  for (size_t i = 0, n; i < pixels.size(); i += n) {
    const bool run = pairAt(i);
    for (n = 1;
         i + n < pixels.size() && n < 128 && (run ? pixels[i + n] == pixels[i] : !pairAt(i + n));) {
      ++n;
    }
    out.push_back(static_cast<uint8_t>((run ? 0x80 : 0) | (n - 1)));
    for (size_t k = 0; k < (run ? 1 : n); ++k) {
      out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
    }
  }
  return out;
}

Bytes TargaBytes(const Targa& t) {
  ByteWriter file;
  file.U8(static_cast<unsigned>(t.id.size())).U8(t.mapLength > 0 ? 1 : 0).U8(t.type).U16LE(0);
  file.U16LE(t.mapLength).U8(t.mapBits).U16LE(0).U16LE(0).U16LE(t.width).U16LE(t.height);
  file.U8(t.depth).U8(t.descriptor).Text(t.id);
  // Colour map entries take whole bytes, blue first; 15 bits take 2, as a
  // 5-5-5 word. Entry k is blue k, green 255 - k, red 3k (5-bit: k, k / 8,
  // 31 - k, each cut to 5 bits).
  for (int k = 0; k < t.mapLength; ++k) {
    if (t.mapBits <= 16) {
      file.U16LE(static_cast<unsigned>((31 - (k & 31)) << 10 | (k >> 3 & 31) << 5 | (k & 31)));
    } else {
      file.U8(k & 255).U8(255 - (k & 255)).U8(k * 3 & 255);
      if (t.mapBits == 32) file.U8(255);
    }
  }
  std::vector<Bytes> pixels;
  for (int r = 0; t.pixels && r < t.height; ++r) {
    const int y = (t.descriptor & 0x20) != 0 ? r : t.height - 1 - r;
    for (int x = 0; x < t.width; ++x) {
      Bytes& pixel = pixels.emplace_back();
      for (int c = 0; c < (t.depth + 7) / 8; ++c) pixel.push_back(t.sample(x, y, c));
    }
  }
  if (t.type >= 8) return file.Bytes(TargaPackets(pixels)).Data();
  for (const Bytes& pixel : pixels) file.Bytes(pixel);
  return file.Data();
}

void AddTargaFiles(Files& files) {
  for (int depth : {8, 15, 16, 24, 32}) {
    files.push_back({"tga" + std::to_string(depth) + ".tga",
                     TargaBytes({.depth = depth, .type = depth == 8 ? 3 : 2})});
  }
  for (int depth : {4, 12, 20, 40}) {
    files.push_back({"tga" + std::to_string(depth) + ".tga", TargaBytes({.depth = depth})});
  }
  const Bytes tiny = TargaBytes({.width = 1, .height = 1, .depth = 8, .type = 3});
  const Files more = {
      {"tga24-top-origin.tga", TargaBytes({.descriptor = 0x20})},
      {"tga8-mapped-15.tga",
       TargaBytes({.depth = 8, .type = 1, .id = "a picture", .mapLength = 256, .mapBits = 15})},
      {"tga8-mapped-24.tga",
       TargaBytes({.depth = 8, .type = 1, .id = "a picture", .mapLength = 256, .mapBits = 24})},
      // Run-length packets, some running on into the next row.
      {"tga24-rle.tga", TargaBytes({.type = 10, .sample = RunSample})},
      {"tga32-rle-top-origin.tga",
       TargaBytes({.depth = 32, .type = 10, .descriptor = 0x20, .sample = StreakSample})},
      {"tga8-grey-rle.tga", TargaBytes({.width = 40, .height = 7, .depth = 8, .type = 11})},
      {"tga8-mapped-rle.tga",
       TargaBytes({.depth = 8, .type = 9, .mapLength = 256, .mapBits = 24, .sample = RunSample})},
      // Cut after the middle row's fourth pixel.
      {"tga24-rle-short.tga", Cut(TargaBytes({.type = 10, .sample = RunSample}), 18 + 14 + 4 + 7)},
      // Huffman and delta coding (types 32 and 33) are not read.
      {"tga24-huffman.tga", TargaBytes({.type = 32})},
      // Indexes and grey levels of two bytes.
      {"tga16-mapped.tga", TargaBytes({.depth = 16, .type = 1, .mapLength = 256, .mapBits = 24})},
      {"tga16-grey.tga", TargaBytes({.depth = 16, .type = 3})},
      {"tga24-width-0.tga", TargaBytes({.width = 0})},
      {"tga24-width-8193.tga", TargaBytes({.width = 8193, .pixels = false})},
      {"tga24-short.tga", Cut(TargaBytes({}), 18 + 45 - 20)},
      {"tga-cut-in-header.tga", Cut(TargaBytes({}), 10)},
      // Only two spellings of the name make a file without a signature a JPEG.
      {"tga8-as-photo.Jpg", tiny},
      {"tga8-as-photo-upper.JPG", tiny},
      {"tga8-as-photo.jpeg", tiny},
  };
  files.insert(files.end(), more.begin(), more.end());
}

struct TiffEntry {
  uint16_t tag;
  uint16_t type;  // 3 SHORT, 4 LONG
  uint32_t count;
  // A SHORT (two for a count of 2, the first in the low half), or a LONG;
  // the file offset of the values when more than two SHORTs are given.
  uint32_t value;
};

// The header, the pixels at offset 8, the directory, then a table of LONGs
// (strip offsets) whose offset TiffTableOffset gives beforehand.
Bytes TiffBytes(bool big, const Bytes& pixels, const std::vector<TiffEntry>& entries,
                const std::vector<uint32_t>& table = {}) {
  ByteWriter w;
  w.Text(big ? "MM" : "II").U16(big, 42).U32(big, static_cast<uint32_t>(8 + pixels.size()));
  w.Bytes(pixels).U16(big, static_cast<unsigned>(entries.size()));
  for (const TiffEntry& e : entries) {
    w.U16(big, e.tag).U16(big, e.type).U32(big, e.count);
    if (e.type == 3 && e.count <= 2) {
      w.U16(big, e.value).U16(big, e.count == 2 ? e.value >> 16 : 0);
    } else {
      w.U32(big, e.value);
    }
  }
  w.U32(big, 0);  // no next directory
  for (uint32_t v : table) w.U32(big, v);
  return w.Data();
}

uint32_t TiffTableOffset(size_t pixelBytes, size_t entries) {
  return static_cast<uint32_t>(8 + pixelBytes + 2 + 12 * entries + 4);
}

// Top-down rows of the pattern, samples in file order (red first).
Bytes TiffPixels(int width, int height, int samples, Sample sample = PatternSample) {
  ByteWriter w;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int s = 0; s < samples; ++s) {
        w.U8(sample(x, y, samples == 1 ? 0 : s < 3 ? 2 - s : 3));
      }
    }
  }
  return w.Data();
}

// Entry 4 is the strip offsets, 6 the rows per strip.
std::vector<TiffEntry> TiffEntries(int width, int height, int samples) {
  return {{256, 3, 1, static_cast<uint32_t>(width)},
          {257, 4, 1, static_cast<uint32_t>(height)},
          {259, 3, 1, 1},
          {262, 3, 1, 2},
          {273, 4, 1, 8},
          {277, 3, 1, static_cast<uint32_t>(samples)},
          {278, 4, 1, static_cast<uint32_t>(height)}};
}

// The given byte ranges of rows, one after another.
Bytes Rearranged(const Bytes& rows, std::initializer_list<std::pair<size_t, size_t>> ranges) {
  Bytes out;
  for (const auto& [from, to] : ranges) {
    out.insert(out.end(), rows.begin() + static_cast<std::ptrdiff_t>(from),
               rows.begin() + static_cast<std::ptrdiff_t>(to));
  }
  return out;
}

Bytes PackRow(const Bytes& row);

// LZW as TIFF writers code it: codes high bit first, from 9 bits wide
// growing to 12 one code early, a clear code first and when the table is
// full, an end code last.
Bytes LzwBytes(const Bytes& data) {
  Bytes out;
  uint32_t bits = 0;
  int bitCount = 0;
  int width = 9;
  const auto put = [&](int code) {
    bits = bits << width | static_cast<uint32_t>(code);
    for (bitCount += width; bitCount >= 8; bitCount -= 8) {
      out.push_back(static_cast<uint8_t>(bits >> (bitCount - 8)));
    }
  };
  std::map<std::pair<int, uint8_t>, int> table;
  int next = 258;
  const auto added = [&] {
    if (++next == 4094) {
      put(256);
      table.clear();
      next = 258;
      width = 9;
    } else if (next > (1 << width) - 1) {
      ++width;
    }
  };
  put(256);
  int string = -1;
  for (const uint8_t byte : data) {
    if (string < 0) {
      string = byte;
    } else if (const auto found = table.find({string, byte}); found != table.end()) {
      string = found->second;
    } else {
      put(string);
      table[{string, byte}] = next;
      added();
      string = byte;
    }
  }
  if (string >= 0) {
    put(string);
    added();
  }
  put(257);
  if (bitCount > 0) out.push_back(static_cast<uint8_t>(bits << (8 - bitCount)));
  return out;
}

Bytes DeflateBytes(const Bytes& data, int level = Z_BEST_COMPRESSION) {
  uLongf size = compressBound(data.size());
  Bytes out(size);
  compress2(out.data(), &size, data.data(), data.size(), level);
  out.resize(size);
  return out;
}

// Horizontal differences: each sample less the one a pixel before it in its
// row, for samples of `bytes` bytes in the file's order.
Bytes Differences(const Bytes& rows, int width, int samples, int bytes, bool big) {
  Bytes out = rows;
  const size_t rowBytes = static_cast<size_t>(width) * samples * bytes;
  const auto get = [&](size_t at) {
    return bytes == 1 ? rows[at]
           : big      ? rows[at] << 8 | rows[at + 1]
                      : rows[at + 1] << 8 | rows[at];
  };
  for (size_t row = 0; row < rows.size(); row += rowBytes) {
    for (size_t i = samples * bytes; i < rowBytes; i += bytes) {
      const auto value = static_cast<unsigned>(get(row + i) - get(row + i - samples * bytes));
      if (bytes == 1) {
        out[row + i] = static_cast<uint8_t>(value);
      } else {
        out[row + i + (big ? 1 : 0)] = static_cast<uint8_t>(value);
        out[row + i + (big ? 0 : 1)] = static_cast<uint8_t>(value >> 8);
      }
    }
  }
  return out;
}

// A picture in one compressed strip, its size given.
Bytes CompressedTiff(bool big, int width, int height, int samples, uint32_t compression,
                     const Bytes& strip, std::vector<TiffEntry> more = {}) {
  std::vector<TiffEntry> entries = TiffEntries(width, height, samples);
  entries[2].value = compression;
  entries.push_back({279, 4, 1, static_cast<uint32_t>(strip.size())});
  // Sizes and alpha, which other readers need.
  if (std::ranges::none_of(more, [](const TiffEntry& e) { return e.tag == 258; })) {
    entries.push_back({258, 3, 1, 8});
  }
  if (samples == 4) entries.push_back({338, 3, 1, 2});
  entries.insert(entries.end(), more.begin(), more.end());
  std::ranges::sort(entries, {}, &TiffEntry::tag);
  return TiffBytes(big, strip, entries);
}

// A strip a row, listed in a table of offsets and then one of sizes after
// the directory; grey for one sample, RGB for three.
Bytes RowStripsTiff(int width, int samples, uint32_t compression, const Bytes& data,
                    std::vector<uint32_t> offsets, const std::vector<uint32_t>& sizes) {
  const auto count = static_cast<uint32_t>(offsets.size());
  std::vector<TiffEntry> entries = TiffEntries(width, static_cast<int>(count), samples);
  entries[2].value = compression;
  if (samples == 1) entries[3].value = 1;
  const uint32_t table = TiffTableOffset(data.size(), 9);
  entries[4] = {273, 4, count, table};
  entries[6].value = 1;
  entries.push_back({279, 4, count, table + 4 * count});
  entries.insert(entries.begin() + 2, {258, 3, 1, 8});
  offsets.insert(offsets.end(), sizes.begin(), sizes.end());
  return TiffBytes(false, data, entries, offsets);
}

// How BlockTiff stores the pattern.
struct Blocks {
  int width, height, samples;
  int blockWidth;  // tiles only; strips are the picture's width
  int blockRows;   // rows a strip, or a tile's height
  bool tiled = false;
  bool planes = false;  // each sample in a plane of its own
  bool big = false;
  bool sixteen = false;  // the pattern in the high byte
  bool lzw = false;      // with horizontal differences
  Sample sample = PatternSample;
};

// The pattern in strips or tiles, listed in tables after the directory;
// tiles past the picture's edges are filled with 0. With planes apart, each
// plane's blocks come after the one before (red's first).
Bytes BlockTiff(const Blocks& b) {
  const Bytes pixels = TiffPixels(b.width, b.height, b.samples, b.sample);
  const int blockWidth = b.tiled ? b.blockWidth : b.width;
  const int blockSamples = b.planes ? 1 : b.samples;
  Bytes data;
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> sizes;
  for (int p = 0; p < (b.planes ? b.samples : 1); ++p) {
    for (int top = 0; top < b.height; top += b.blockRows) {
      for (int left = 0; left < b.width; left += blockWidth) {
        ByteWriter block;
        const int bottom = b.tiled ? top + b.blockRows : std::min(top + b.blockRows, b.height);
        for (int y = top; y < bottom; ++y) {
          for (int x = left; x < left + blockWidth; ++x) {
            for (int k = 0; k < blockSamples; ++k) {
              const bool on = x < b.width && y < b.height;
              const uint8_t v =
                  on ? pixels[static_cast<size_t>((y * b.width + x) * b.samples + p + k)] : 0;
              if (b.sixteen) {
                block.U16(b.big, static_cast<unsigned>(v << 8 | (v ^ 0xC3)));
              } else {
                block.U8(v);
              }
            }
          }
        }
        Bytes stored = block.Data();
        if (b.lzw) {
          stored =
              LzwBytes(Differences(stored, blockWidth, blockSamples, b.sixteen ? 2 : 1, b.big));
        }
        offsets.push_back(static_cast<uint32_t>(8 + data.size()));
        sizes.push_back(static_cast<uint32_t>(stored.size()));
        data.insert(data.end(), stored.begin(), stored.end());
      }
    }
  }
  std::vector<TiffEntry> entries = TiffEntries(b.width, b.height, b.samples);
  const auto count = static_cast<uint32_t>(offsets.size());
  if (b.tiled) {
    entries.erase(entries.begin() + 6);  // no rows per strip
    entries.push_back({322, 3, 1, static_cast<uint32_t>(b.blockWidth)});
    entries.push_back({323, 3, 1, static_cast<uint32_t>(b.blockRows)});
    entries.push_back({325, 4, count, 0});
  } else {
    entries[6].value = static_cast<uint32_t>(b.blockRows);
    entries.push_back({279, 4, count, 0});
  }
  if (b.planes) entries.push_back({284, 3, 1, 2});
  if (b.samples == 4) entries.push_back({338, 3, 1, 2});  // the fourth sample is alpha
  if (b.lzw) {
    entries[2].value = 5;
    entries.push_back({317, 3, 1, 2});
  }
  entries.push_back({258, 3, static_cast<uint32_t>(b.samples), 0});
  // The tables after the directory: offsets, sizes, then the sample sizes.
  const uint32_t table = TiffTableOffset(data.size(), entries.size());
  for (TiffEntry& e : entries) {
    if (e.tag == 273) e = {static_cast<uint16_t>(b.tiled ? 324 : 273), 4, count, table};
    if (e.tag == 279 || e.tag == 325) e.value = table + 4 * count;
    if (e.tag == 258) e.value = table + 8 * count;
  }
  std::ranges::sort(entries, {}, &TiffEntry::tag);
  offsets.insert(offsets.end(), sizes.begin(), sizes.end());
  const uint32_t bits = b.sixteen ? 0x00100010 : 0x00080008;
  offsets.insert(offsets.end(), {bits, bits});
  return TiffBytes(b.big, data, entries, offsets);
}

void AddCompressedTiffFiles(Files& files) {
  // Large enough for the codes to grow to 12 bits and the table to fill.
  files.push_back(
      {"tif-ii-rgb-lzw.tif", CompressedTiff(false, 96, 64, 3, 5, LzwBytes(TiffPixels(96, 64, 3)))});
  // 16-bit samples (the pattern in the high byte, noise in the low one)
  // stored as differences, whose carries reach the high byte.
  ByteWriter wide;
  for (const uint8_t b : TiffPixels(5, 3, 3)) {
    wide.U16BE(static_cast<unsigned>(b << 8 | (b ^ 0xA5)));
  }
  files.push_back(
      {"tif-mm-rgb16-lzw-predictor.tif",
       CompressedTiff(true, 5, 3, 3, 5, LzwBytes(Differences(wide.Data(), 5, 3, 2, true)),
                      {{258, 3, 1, 16}, {317, 3, 1, 2}})});
  const Bytes rgba = TiffPixels(4, 2, 4);
  files.push_back(
      {"tif-ii-rgba-deflate-predictor.tif",
       CompressedTiff(false, 4, 2, 4, 8, DeflateBytes(Differences(rgba, 4, 4, 1, false)),
                      {{317, 3, 1, 2}})});
  // Three strips of one row each, in PackBits with a packet that does
  // nothing (128) in the second; a table of offsets, then one of sizes.
  Bytes packed;
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> sizes;
  const Bytes grey = TiffPixels(5, 3, 1);
  for (int y = 0; y < 3; ++y) {
    Bytes row = PackRow(Bytes(grey.begin() + 5 * y, grey.begin() + 5 * y + 5));
    if (y == 1) row.insert(row.begin(), 128);
    offsets.push_back(static_cast<uint32_t>(8 + packed.size()));
    sizes.push_back(static_cast<uint32_t>(row.size()));
    packed.insert(packed.end(), row.begin(), row.end());
  }
  files.push_back(
      {"tif-ii-grey-packbits-strips.tif", RowStripsTiff(5, 1, 32773, packed, offsets, sizes)});
  // Stored without compression and cut after 22 bytes of its pixels: the
  // first row and a half.
  Bytes cut = DeflateBytes(TiffPixels(5, 3, 3), Z_NO_COMPRESSION);
  cut.resize(2 + 5 + 22);
  files.push_back({"tif-ii-rgb-deflate-short.tif", CompressedTiff(false, 5, 3, 3, 8, cut)});
  // Eight strips of a row each, all the same stored strip (a damaged file):
  // reading stops once twice the file's bytes have been read.
  const Bytes shared = LzwBytes(TiffPixels(400, 1, 3));
  files.push_back({"tif-lzw-one-strip-eight-times.tif",
                   RowStripsTiff(400, 3, 5, shared, std::vector<uint32_t>(8, 8),
                                 std::vector<uint32_t>(8, static_cast<uint32_t>(shared.size())))});
  // The first writers' LZW, codes stored low bit first: a clear code of
  // 9 bits is the bytes 0 and 1.
  files.push_back({"tif-lzw-old-style.tif", CompressedTiff(false, 5, 3, 3, 5, {0, 1, 0, 0})});
  // Past the largest side, read at half the size.
  files.push_back(
      {"tif-ii-rgb-8201x4-lzw.tif",
       CompressedTiff(false, 8201, 4, 3, 5, LzwBytes(TiffPixels(8201, 4, 3, WidePattern)))});
  files.push_back({"tif-ii-rgb-8201x4-lzw-planar.tif",
                   BlockTiff({8201, 4, 3, 0, 4, false, true, false, false, true, WidePattern})});
  // Planes apart: one strip a plane, or two of two rows and one.
  files.push_back({"tif-ii-rgba-planar.tif", BlockTiff({4, 3, 4, 4, 3, false, true})});
  files.push_back(
      {"tif-mm-rgb16-lzw-planar.tif", BlockTiff({5, 3, 3, 5, 2, false, true, true, true, true})});
  // Tiles of 16 x 16, cut by the picture's right and bottom edges.
  files.push_back({"tif-ii-rgb-tiles.tif", BlockTiff({20, 18, 3, 16, 16, true})});
  files.push_back({"tif-mm-rgba16-lzw-planar-tiles.tif",
                   BlockTiff({20, 18, 4, 16, 16, true, true, true, true, true})});
}

void AddTiffFiles(Files& files) {
  struct Shape {
    const char* name;
    int width, height, samples;
  };
  for (const Shape& s :
       {Shape{"rgb", 5, 3, 3}, Shape{"rgba", 4, 2, 4}, Shape{"40x40", 40, 40, 3}}) {
    for (bool big : {false, true}) {
      files.push_back({std::string("tif-") + (big ? "mm-" : "ii-") + s.name + ".tif",
                       TiffBytes(big, TiffPixels(s.width, s.height, s.samples),
                                 TiffEntries(s.width, s.height, s.samples))});
    }
  }
  files.push_back({"tif-mm-grey.tif", TiffBytes(true, TiffPixels(5, 3, 1), TiffEntries(5, 3, 1))});

  // Three strips of two rows (18 bytes; the last holds one row), stored in
  // reverse order and listed in a table of LONGs.
  const Bytes reversed = Rearranged(TiffPixels(3, 5, 3), {{36, 45}, {18, 36}, {0, 18}});
  std::vector<TiffEntry> strips = TiffEntries(3, 5, 3);
  strips[4] = {273, 4, 3, TiffTableOffset(reversed.size(), strips.size())};
  strips[6].value = 2;
  // Two strips whose SHORT offsets sit in the entry's own value field.
  const Bytes swapped = Rearranged(TiffPixels(3, 4, 3), {{18, 36}, {0, 18}});
  std::vector<TiffEntry> inField = TiffEntries(3, 4, 3);
  inField[4] = {273, 3, 2, (8u + 18u) | (8u << 16)};
  inField[6].value = 2;
  for (bool big : {false, true}) {
    const std::string order = big ? "tif-mm-" : "tif-ii-";
    files.push_back(
        {order + "strips.tif", TiffBytes(big, reversed, strips, {8 + 9 + 18, 8 + 9, 8})});
    files.push_back({order + "strips-in-field.tif", TiffBytes(big, swapped, inField)});
  }

  // 16-bit samples: the pattern in the high byte, noise in the low one.
  // Their sizes lie in a list after the directory, or, for one sample, in
  // the entry itself.
  const auto widened = [](bool big, const Bytes& narrow) {
    ByteWriter w;
    for (const uint8_t b : narrow) w.U16(big, static_cast<unsigned>(b << 8 | (b ^ 0x5A)));
    return w.Data();
  };
  for (bool big : {false, true}) {
    const Bytes wide = widened(big, TiffPixels(5, 3, 3));
    std::vector<TiffEntry> entries = TiffEntries(5, 3, 3);
    entries.push_back({258, 3, 3, TiffTableOffset(wide.size(), 8)});
    // Two SHORTs of 16 in each LONG, in either byte order.
    files.push_back({std::string(big ? "tif-mm-" : "tif-ii-") + "rgb-16.tif",
                     TiffBytes(big, wide, entries, {0x00100010, 0x00100010})});
  }
  std::vector<TiffEntry> grey16 = TiffEntries(5, 3, 1);
  grey16.push_back({258, 3, 1, 16});
  files.push_back(
      {"tif-ii-grey-16.tif", TiffBytes(false, widened(false, TiffPixels(5, 3, 1)), grey16)});
  // Indexed: plane p (red first) holds i * (p + 1) + p at index i, in the
  // high byte of its 16-bit values.
  std::vector<TiffEntry> indexed = TiffEntries(5, 3, 1);
  indexed[3].value = 3;
  const Bytes indexes = TiffPixels(5, 3, 1);
  indexed.push_back({320, 3, 768, TiffTableOffset(indexes.size(), 8)});
  std::vector<uint32_t> colorMap;
  const auto mapValue = [](int at) {
    const int plane = at / 256;
    const int i = at % 256;
    return static_cast<uint32_t>(((i * (plane + 1) + plane) & 255) << 8 | 0x33);
  };
  for (int at = 0; at < 768; at += 2) colorMap.push_back(mapValue(at) << 16 | mapValue(at + 1));
  files.push_back({"tif-mm-palette.tif", TiffBytes(true, indexes, indexed, colorMap)});
  // Grey and alpha: the pattern's first byte, and the run pattern's fourth.
  ByteWriter greyAlpha;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) greyAlpha.U8(PatternSample(x, y, 0)).U8(RunSample(x, y, 3));
  }
  std::vector<TiffEntry> twoSamples = TiffEntries(5, 3, 2);
  twoSamples[3].value = 1;
  files.push_back({"tif-ii-grey-alpha.tif", TiffBytes(false, greyAlpha.Data(), twoSamples)});
  std::vector<TiffEntry> whiteAtZero = TiffEntries(5, 3, 1);
  whiteAtZero[3].value = 0;
  files.push_back({"tif-ii-min-is-white.tif", TiffBytes(false, TiffPixels(5, 3, 1), whiteAtZero)});

  const Bytes pixels = TiffPixels(5, 3, 3);
  const auto added = [&](TiffEntry entry) {
    std::vector<TiffEntry> entries = TiffEntries(5, 3, 3);
    entries.push_back(entry);
    return TiffBytes(false, pixels, entries);
  };
  std::vector<TiffEntry> cmyk = TiffEntries(5, 3, 4);
  cmyk[3].value = 5;
  std::vector<TiffEntry> cmyka = TiffEntries(5, 3, 5);
  cmyka[3].value = 5;
  std::vector<TiffEntry> otherInks = cmyk;
  otherInks.push_back({332, 3, 1, 2});
  const auto changed = [&](size_t index, TiffEntry entry) {
    std::vector<TiffEntry> entries = TiffEntries(5, 3, 3);
    entries[index] = entry;
    return TiffBytes(false, pixels, entries);
  };
  const auto stripped = [&](uint32_t count, uint32_t offsets, uint32_t rowsPerStrip,
                            const std::vector<uint32_t>& table) {
    std::vector<TiffEntry> entries = TiffEntries(5, 3, 3);
    entries[4] = {273, 4, count, offsets};
    entries[6].value = rowsPerStrip;
    return TiffBytes(false, pixels, entries, table);
  };
  // One tile of 16 x 16 over the picture, its offsets as given.
  const auto tiles = [&](TiffEntry offsets) {
    std::vector<TiffEntry> entries = TiffEntries(5, 3, 3);
    entries[4] = offsets;
    entries.erase(entries.begin() + 6);
    entries.push_back({322, 3, 1, 16});
    entries.push_back({323, 3, 1, 16});
    return TiffBytes(false, pixels, entries);
  };
  const uint32_t table = TiffTableOffset(pixels.size(), 7);
  Bytes bigTiff = TiffBytes(false, pixels, TiffEntries(5, 3, 3));
  bigTiff[2] = 43;
  const Files more = {
      {"tif-old-style-jpeg.tif", changed(2, {259, 3, 1, 6})},
      {"tif-5-samples.tif", changed(5, {277, 3, 1, 5})},
      {"tif-width-65537.tif", changed(0, {256, 4, 1, 65537})},
      {"tif-height-0.tif", changed(1, {257, 4, 1, 0})},
      {"tif-big-variant.tif", bigTiff},
      {"tif-strips-of-0-rows.tif", stripped(3, table, 0, {8, 8, 8})},
      // Four billion strips of one row, whose table ends with the file after two.
      {"tif-4-billion-strips.tif", stripped(0xFFFFFFFF, table, 1, {8, 23})},
      {"tif-strips-past-end.tif", stripped(3, 0x7FFFFFF0, 1, {})},
      // Planes or tiles that the tables do not list, or not within the file.
      {"tif-planar.tif", added({284, 3, 1, 2})},
      {"tif-tiled.tif", added({322, 3, 1, 16})},
      {"tif-tiles-past-end.tif", tiles({324, 4, 2, 0x7FFFFFF0})},
      // Kinds that would read as a wrong picture.
      {"tif-1-bit.tif", added({258, 3, 1, 1})},
      {"tif-32-bit.tif", added({258, 3, 1, 32})},
      {"tif-cmyk.tif", TiffBytes(false, TiffPixels(5, 3, 4), cmyk)},
      {"tif-cmyk-alpha.tif", TiffBytes(false, TiffPixels(5, 3, 5), cmyka)},
      {"tif-inks-not-cmyk.tif", TiffBytes(false, TiffPixels(5, 3, 4), otherInks)},
  };
  files.insert(files.end(), more.begin(), more.end());
}

struct Psd {
  int channels = 3;
  uint32_t width = 5;
  uint32_t height = 3;
  int depth = 8;
  int mode = 3;         // 1 grey, 2 indexed, 3 RGB, 4 CMYK
  int compression = 0;  // 0 raw, 1 PackBits
  Bytes colorData{};
  uint16_t version = 1;
  bool pixels = true;
};

// PackBits with both kinds of packet: a run where two samples are alike,
// literals otherwise.
Bytes PackRow(const Bytes& row) {
  Bytes packed;
  const auto pairAt = [&](size_t i) { return i + 1 < row.size() && row[i] == row[i + 1]; };
  for (size_t i = 0, n; i < row.size(); i += n) {
    const bool run = pairAt(i);
    for (n = 1; i + n < row.size() && n < 128 && (run ? row[i + n] == row[i] : !pairAt(i + n));) {
      ++n;
    }
    packed.push_back(static_cast<uint8_t>(run ? 1 - static_cast<int>(n) : static_cast<int>(n) - 1));
    packed.insert(packed.end(), row.begin() + static_cast<std::ptrdiff_t>(i),
                  row.begin() + static_cast<std::ptrdiff_t>(i + (run ? 1 : n)));
  }
  return packed;
}

// Row y of channel `channel`: red, green, blue and alpha of the run pattern;
// grey and indexed pictures' colour channel holds byte 0, the next alpha.
// CMYK pictures hold the inks turned over as red, green, blue and byte 3 of
// the run pattern, then the plain pattern's byte 3 as alpha.
Bytes PsdRow(const Psd& p, int channel, int y) {
  const bool oneColour = p.mode == 1 || p.mode == 2;
  const int c = p.mode < 3 ? (oneColour && channel > 0 ? 3 : 0) : channel < 3 ? 2 - channel : 3;
  Bytes row;
  for (int x = 0; x < static_cast<int>(p.width); ++x) {
    row.push_back(p.mode == 4 && channel == 4 ? PatternSample(x, y, 3) : RunSample(x, y, c));
    if (p.depth == 16) row.push_back(0x5A);  // the low byte, which is not used
  }
  return row;
}

Bytes PsdBytes(const Psd& p) {
  ByteWriter file;
  file.Text("8BPS").U16BE(p.version).Fill(6).U16BE(p.channels).U32BE(p.height).U32BE(p.width);
  file.U16BE(p.depth).U16BE(p.mode).U32BE(static_cast<uint32_t>(p.colorData.size()));
  // Then the image resources and the layer and mask section, passed over.
  file.Bytes(p.colorData).U32BE(6).Text("8BIM..").U32BE(4).Fill(4, 0xCC).U16BE(p.compression);
  std::vector<Bytes> rows;
  for (int c = 0; p.pixels && c < p.channels; ++c) {
    for (int y = 0; y < static_cast<int>(p.height); ++y) {
      rows.push_back(p.compression == 0 ? PsdRow(p, c, y) : PackRow(PsdRow(p, c, y)));
      if (p.compression != 0) file.U16BE(static_cast<unsigned>(rows.back().size()));
    }
  }
  for (const Bytes& row : rows) file.Bytes(row);
  return file.Data();
}

void AddPhotoshopFiles(Files& files) {
  // The palette: 256 red values, then 256 green, then 256 blue.
  Bytes palette;
  for (int plane = 0; plane < 3; ++plane) {
    for (int i = 0; i < 256; ++i) palette.push_back(static_cast<uint8_t>(i * (plane + 1) + plane));
  }
  Bytes badCounts = PsdBytes({.compression = 1});
  badCounts[50] = badCounts[51] = 0xFF;  // the first row count, after the compression code
  const Files more = {
      {"psd-rgb.psd", PsdBytes({})},
      {"psd-rgb16.psd", PsdBytes({.depth = 16})},
      {"psd-rgb-packbits.psd", PsdBytes({.compression = 1})},
      {"psd-rgb16-packbits.psd", PsdBytes({.depth = 16, .compression = 1})},
      {"psd-rgba.psd", PsdBytes({.channels = 4})},
      {"psd-rgba-packbits.psd", PsdBytes({.channels = 4, .compression = 1})},
      {"psd-5-channels.psd", PsdBytes({.channels = 5})},
      {"psd-5-channels-packbits.psd", PsdBytes({.channels = 5, .compression = 1})},
      {"psd-rgb-long-colour-data.psd", PsdBytes({.colorData = Bytes(2000, 0x11)})},
      {"psd-grey-packbits.psd", PsdBytes({.channels = 1, .mode = 1, .compression = 1})},
      {"psd-grey16-packbits.psd",
       PsdBytes({.channels = 1, .depth = 16, .mode = 1, .compression = 1})},
      {"psd-indexed.psd", PsdBytes({.channels = 1, .mode = 2, .colorData = palette})},
      {"psd-grey-alpha.psd", PsdBytes({.channels = 2, .mode = 1})},
      {"psd-indexed-alpha-packbits.psd",
       PsdBytes({.channels = 3, .mode = 2, .compression = 1, .colorData = palette})},
      {"psd-cmyk.psd", PsdBytes({.channels = 4, .mode = 4})},
      {"psd-cmyk-alpha-packbits.psd", PsdBytes({.channels = 5, .mode = 4, .compression = 1})},
      {"psd-cmy.psd", PsdBytes({.channels = 3, .mode = 4})},
      {"psd-bitmap.psd", PsdBytes({.channels = 1, .depth = 1, .mode = 0})},
      {"psd-32-bit.psd", PsdBytes({.depth = 32})},
      {"psd-no-channels.psd", PsdBytes({.channels = 0})},
      {"psd-width-0.psd", PsdBytes({.width = 0})},
      {"psd-version-2.psd", PsdBytes({.version = 2})},
      {"psd-height-8193.psd", PsdBytes({.height = 8193, .pixels = false})},
      {"psd-zip.psd", PsdBytes({.compression = 2})},
      {"psd-row-counts-too-large.psd", badCounts},
      // The first row of the red channel alone: 5 raw bytes, or a run of 2
      // and a literal of 3 packed into 6 after the 9 row counts.
      {"psd-rgb-short.psd", Cut(PsdBytes({}), 50 + 5)},
      {"psd-rgb-packbits-short.psd", Cut(PsdBytes({.compression = 1}), 50 + 18 + 6)},
  };
  files.insert(files.end(), more.begin(), more.end());
}

// How EncodeJpeg stores its rows.
struct JpegOptions {
  J_COLOR_SPACE space = JCS_RGB;
  bool progressive = false;
  bool noJfif = false;      // leave out the JFIF marker, as TIFF writers do
  Bytes* tables = nullptr;  // when given: the tables go here, not into the stream
};

// `rows` of width x components samples in file order, at quality 95.
Bytes EncodeJpeg(Bytes rows, int width, int height, int components, const JpegOptions& o) {
  jpeg_compress_struct compress{};
  jpeg_error_mgr error{};
  compress.err = jpeg_std_error(&error);
  jpeg_create_compress(&compress);
  compress.image_width = static_cast<JDIMENSION>(width);
  compress.image_height = static_cast<JDIMENSION>(height);
  compress.input_components = components;
  compress.in_color_space = o.space;
  jpeg_set_defaults(&compress);
  jpeg_set_quality(&compress, 95, TRUE);
  if (o.progressive) jpeg_simple_progression(&compress);
  if (o.noJfif) compress.write_JFIF_header = FALSE;
  unsigned char* output = nullptr;
  unsigned long outputSize = 0;
  if (o.tables != nullptr) {
    jpeg_mem_dest(&compress, &output, &outputSize);
    jpeg_write_tables(&compress);
    *o.tables = Bytes(output, output + outputSize);
    std::free(output);
    output = nullptr;
    outputSize = 0;
  }
  jpeg_mem_dest(&compress, &output, &outputSize);
  jpeg_start_compress(&compress, o.tables == nullptr ? TRUE : FALSE);
  for (int y = 0; y < height; ++y) {
    JSAMPROW row = &rows[static_cast<size_t>(y * width * components)];
    jpeg_write_scanlines(&compress, &row, 1);
  }
  jpeg_finish_compress(&compress);
  Bytes bytes(output, output + outputSize);
  jpeg_destroy_compress(&compress);
  std::free(output);
  return bytes;
}

// A JPEG at quality 95 whose samples come from sample() in the buffer's
// order (blue, green, red); a grey one takes the red. A CMYK one stores the
// inks as print programs do, turned over (255: none), with no black: cyan
// red, magenta green, yellow blue.
Bytes JpegBytes(int width, int height, bool grey, bool progressive, Sample sample,
                bool cmyk = false) {
  const int components = grey ? 1 : cmyk ? 4 : 3;
  Bytes rows(static_cast<size_t>(width) * height * components);
  for (size_t i = 0; i < rows.size(); ++i) {
    const int x = static_cast<int>(i / components % width);
    const int y = static_cast<int>(i / components / width);
    const int channel = static_cast<int>(i % components);
    rows[i] = channel == 3 ? 255 : sample(x, y, 2 - channel);
  }
  return EncodeJpeg(std::move(rows), width, height, components,
                    {.space = grey   ? JCS_GRAYSCALE
                              : cmyk ? JCS_CMYK
                                     : JCS_RGB,
                     .progressive = progressive});
}

// The smooth picture in JPEG blocks: strips of `blockRows` rows, or tiles of
// blockRows x blockRows whose parts past the picture repeat its last row
// and column. RGB pictures are YCbCr with their tables apart, grey ones
// whole streams.
Bytes JpegTiff(int width, int height, int components, int blockRows, bool tiled) {
  const int blockWidth = tiled ? blockRows : width;
  Bytes tables;
  Bytes data;
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> sizes;
  for (int top = 0; top < height; top += blockRows) {
    for (int left = 0; left < width; left += blockWidth) {
      const int rows = tiled ? blockRows : std::min(blockRows, height - top);
      Bytes block;
      for (int y = top; y < top + rows; ++y) {
        for (int x = left; x < left + blockWidth; ++x) {
          for (int c = 0; c < components; ++c) {
            block.push_back(SmoothSample(std::min(x, width - 1), std::min(y, height - 1),
                                         components == 1 ? 2 : 2 - c));
          }
        }
      }
      // RGB goes in as YCbCr, as the file's Photometric then says.
      const Bytes stored = EncodeJpeg(std::move(block), blockWidth, rows, components,
                                      {.space = components == 1 ? JCS_GRAYSCALE : JCS_RGB,
                                       .noJfif = true,
                                       .tables = components == 3 ? &tables : nullptr});
      offsets.push_back(static_cast<uint32_t>(8 + data.size()));
      sizes.push_back(static_cast<uint32_t>(stored.size()));
      data.insert(data.end(), stored.begin(), stored.end());
    }
  }
  const auto count = static_cast<uint32_t>(offsets.size());
  std::vector<TiffEntry> entries = TiffEntries(width, height, components);
  entries[2].value = 7;
  entries[3].value = components == 3 ? 6 : 1;
  if (tiled) {
    entries[4].tag = 324;
    entries[6] = {322, 3, 1, static_cast<uint32_t>(blockWidth)};
    entries.push_back({323, 3, 1, static_cast<uint32_t>(blockRows)});
    entries.push_back({325, 4, count, 0});
  } else {
    entries[6].value = static_cast<uint32_t>(blockRows);
    entries.push_back({279, 4, count, 0});
  }
  entries.push_back({258, 3, static_cast<uint32_t>(components), 8});
  if (!tables.empty()) entries.push_back({347, 7, static_cast<uint32_t>(tables.size()), 0});
  std::ranges::sort(entries, {}, &TiffEntry::tag);
  // After the directory: the offsets, the sizes, three sample sizes (for
  // RGB), then the JPEG tables.
  const uint32_t table = TiffTableOffset(data.size(), entries.size());
  for (TiffEntry& e : entries) {
    if (e.tag == 273 || e.tag == 324) e = {e.tag, 4, count, table};
    if (e.tag == 279 || e.tag == 325) e.value = table + 4 * count;
    if (e.tag == 258 && components == 3) e.value = table + 8 * count;
    if (e.tag == 347) e.value = table + 8 * count + 8;
  }
  offsets.insert(offsets.end(), sizes.begin(), sizes.end());
  if (components == 3) offsets.insert(offsets.end(), {0x00080008, 0x00000008});
  Bytes file = TiffBytes(false, data, entries, offsets);
  file.insert(file.end(), tables.begin(), tables.end());
  return file;
}

void AddJpegFiles(Files& files) {
  const Bytes rgb = JpegBytes(32, 16, false, false, SmoothSample);
  // A frame header that claims a width of 0.
  Bytes noWidth = rgb;
  for (size_t i = 2; i + 9 < noWidth.size(); ++i) {
    if (noWidth[i] == 0xFF && noWidth[i + 1] == 0xC0) {
      noWidth[i + 7] = noWidth[i + 8] = 0;
      break;
    }
  }
  // The JFIF segment (FF E0) replaced by a minimal Exif one (FF E1).
  Bytes exif = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x08, 'E', 'x', 'i', 'f', 0, 0};
  exif.insert(exif.end(), rgb.begin() + 4 + ((rgb[4] << 8) | rgb[5]), rgb.end());
  const Files more = {
      {"jpeg-rgb.jpg", rgb},
      {"jpeg-grey.jpg", JpegBytes(32, 16, true, false, SmoothSample)},
      {"jpeg-progressive.jpg", JpegBytes(32, 16, false, true, SmoothSample)},
      {"jpeg-cmyk.jpg", JpegBytes(32, 16, false, false, SmoothSample, true)},
      {"jpeg-exif.Jpg", exif},
      // JPEG TIFF files: YCbCr strips sharing their tables, grey tiles.
      {"tif-jpeg-ycbcr-strips.tif", JpegTiff(32, 16, 3, 8, false)},
      {"tif-jpeg-grey-tiles.tif", JpegTiff(24, 12, 1, 16, true)},
      {"jpeg-half.jpg", Cut(rgb, rgb.size() / 2)},
      {"jpeg-200-bytes.jpg", Cut(rgb, 200)},
      {"jpeg-garbage.jpg", {0xFF, 0xD8, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE}},
      {"jpeg-empty.jpg", {}},
      {"jpeg-width-0.jpg", noWidth},
      {"jpeg-width-8193.jpg",
       JpegBytes(8193, 1, true, false, [](int, int, int) -> uint8_t { return 90; })},
      {"jpeg-20000x9.jpg",
       JpegBytes(20000, 9, false, false, [](int, int, int c) -> uint8_t { return 60 + 50 * c; })},
      // Not a picture the program reads (a GIF): it goes to the Targa reader.
      {"not-a-picture.gif",
       {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0,   0, 0, 255, 255,
        255, ',', 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 'D', 1, 0, ';'}},
  };
  files.insert(files.end(), more.begin(), more.end());
}

struct PngShape {
  int width = 5;
  int height = 3;
  int colorType = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  bool interlaced = false;
  bool seeThrough = false;  // a palette's alpha (tRNS): 255 - index
  Sample sample = RunSample;
};

void AppendPngBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// A PNG of RunSample: colours and alpha as the buffer's bytes say; grey
// and palette indexes from byte 0, the palette of the other readers' tests
// (entry i: red i, green 2i + 1, blue 3i + 2). 16-bit samples carry the
// pattern in their high byte; 1-bit grey is the pattern's lowest bit.
Bytes PngBytes(const PngShape& shape) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendPngBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(shape.width),
               static_cast<png_uint_32>(shape.height), shape.depth, shape.colorType,
               shape.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::array<png_color, 256> palette{};
  std::array<png_byte, 256> alpha{};
  for (int i = 0; i < 256; ++i) {
    palette[size_t(i)] = {static_cast<png_byte>(i), static_cast<png_byte>(2 * i + 1),
                          static_cast<png_byte>(3 * i + 2)};
    alpha[size_t(i)] = static_cast<png_byte>(255 - i);
  }
  if (shape.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, palette.data(), 256);
    if (shape.seeThrough) png_set_tRNS(png, info, alpha.data(), 256, nullptr);
  }
  png_write_info(png, info);
  // Samples in the file's order: red, green, blue, alpha, or grey (alpha).
  std::vector<int> bytes;
  switch (shape.colorType) {
    case PNG_COLOR_TYPE_RGB:
      bytes = {2, 1, 0};
      break;
    case PNG_COLOR_TYPE_RGBA:
      bytes = {2, 1, 0, 3};
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      bytes = {0, 3};
      break;
    default:
      bytes = {0};
      break;
  }
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < shape.height; ++y) {
      Bytes line;
      for (int x = 0; x < shape.width; ++x) {
        for (const int b : bytes) {
          const uint8_t value = shape.sample(x, y, b);
          if (shape.depth == 1) {
            if (x % 8 == 0) line.push_back(0);
            line.back() = static_cast<uint8_t>(line.back() | (value & 1) << (7 - x % 8));
          } else {
            line.push_back(value);
            if (shape.depth == 16) line.push_back(static_cast<uint8_t>(x + y));
          }
        }
      }
      png_write_row(png, line.data());
    }
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void AddPngFiles(Files& files) {
  const Bytes rgb = PngBytes({});
  Bytes badCheck = rgb;
  badCheck[badCheck.size() - 20] ^= 0x40;  // in the picture data, so its check fails
  const Files more = {
      {"png-rgb.png", rgb},
      {"png-rgba.png", PngBytes({.colorType = PNG_COLOR_TYPE_RGBA})},
      {"png-rgb16.png", PngBytes({.depth = 16})},
      {"png-grey.png", PngBytes({.colorType = PNG_COLOR_TYPE_GRAY})},
      {"png-grey-alpha.png", PngBytes({.colorType = PNG_COLOR_TYPE_GRAY_ALPHA})},
      {"png-grey-1-bit.png", PngBytes({.colorType = PNG_COLOR_TYPE_GRAY, .depth = 1})},
      {"png-indexed.png", PngBytes({.colorType = PNG_COLOR_TYPE_PALETTE})},
      {"png-indexed-see-through.png",
       PngBytes({.colorType = PNG_COLOR_TYPE_PALETTE, .seeThrough = true})},
      {"png-interlaced.png", PngBytes({.width = 13, .height = 11, .interlaced = true})},
      {"png-half.png", Cut(rgb, rgb.size() / 2)},
      {"png-bad-check.png", badCheck},
      // Past the largest side: read at half the size, unless interlaced;
      // past eight times that, not at all.
      {"png-8201x4.png", PngBytes({.width = 8201, .height = 4, .sample = WidePattern})},
      {"png-width-65537.png",
       PngBytes({.width = 65537, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY})},
      {"png-interlaced-width-8193.png",
       PngBytes(
           {.width = 8193, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY, .interlaced = true})},
  };
  files.insert(files.end(), more.begin(), more.end());
}

}  // namespace

std::vector<PictureFile> PictureFiles() {
  Files files;
  AddBmpFiles(files);
  AddTargaFiles(files);
  AddTiffFiles(files);
  AddCompressedTiffFiles(files);
  AddPhotoshopFiles(files);
  AddJpegFiles(files);
  AddPngFiles(files);
  return files;
}

}  // namespace vantoril::pictures

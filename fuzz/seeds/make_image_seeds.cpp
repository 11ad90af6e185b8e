// Writes a small seed corpus for image_reader_fuzz: one tiny file of every
// variant the readers accept, so the fuzzer starts deep inside each reader.
//   make_image_seeds OUTPUT_FOLDER

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "media/support/picture_files.h"
#include "support/byte_writer.h"

namespace {

using vantoril::test::ByteWriter;

// count bytes of a pattern that starts at seed.
std::vector<uint8_t> Pattern(size_t count, unsigned seed) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<uint8_t>(seed + i * 29);
  }
  return bytes;
}

constexpr int kWidth = 4;
constexpr int kHeight = 3;

std::vector<uint8_t> Bmp(int bits, int height, uint32_t compression, uint32_t infoSize) {
  const int stride = (kWidth * bits / 8 + 3) & ~3;
  const uint32_t palette = bits == 8 ? 2 * 4 : 0;
  const uint32_t masks = compression == 3 && infoSize == 40 ? 12 : 0;
  const uint32_t offBits = 14 + infoSize + masks + palette;
  ByteWriter b;
  b.Text("BM").U32LE(offBits + stride * kHeight).U32LE(0).U32LE(offBits);
  b.U32LE(infoSize).U32LE(kWidth).U32LE(static_cast<uint32_t>(height)).U16LE(1).U16LE(bits);
  b.U32LE(compression).U32LE(0).U32LE(2835).U32LE(2835).U32LE(bits == 8 ? 2 : 0).U32LE(0);
  const bool sixteen = bits == 16;
  if (compression == 3) {
    b.U32LE(sixteen ? 0x7C00 : 0xFF0000)
        .U32LE(sixteen ? 0x03E0 : 0xFF00)
        .U32LE(sixteen ? 0x1F : 0xFF);
  }
  while (b.Size() < 14 + infoSize + masks) {
    b.U8(0);
  }
  b.Bytes(Pattern(palette, 7));
  return b.Bytes(Pattern(static_cast<size_t>(stride) * kHeight, 1)).Data();
}

std::vector<uint8_t> Targa(int depth, int type, uint8_t descriptor) {
  ByteWriter b;
  b.U8(2).U8(type == 1).U8(type).U16LE(0).U16LE(type == 1 ? 2 : 0).U8(type == 1 ? 24 : 0);
  b.U16LE(0).U16LE(0).U16LE(kWidth).U16LE(kHeight).U8(depth).U8(descriptor).Text("id");
  if (type == 1) {
    b.Bytes(Pattern(6, 3));
  }
  return b.Bytes(Pattern(static_cast<size_t>(kWidth) * kHeight * ((depth + 7) / 8), 2)).Data();
}

std::vector<uint8_t> Tiff(bool big, int samples, bool strips) {
  const uint32_t rowBytes = kWidth * samples;
  const uint32_t pixels = rowBytes * kHeight;
  const std::vector<vantoril::test::TiffEntry> entries = {
      {256, 3, 1, kWidth},
      {257, 3, 1, kHeight},
      {259, 3, 1, 1},
      {262, 3, 1, samples == 1 ? 1u : 2u},
      {273, 4, strips ? kHeight : 1u, strips ? vantoril::test::TiffTableOffset(pixels, 7) : 8u},
      {277, 3, 1, static_cast<uint32_t>(samples)},
      {278, 3, 1, strips ? 1u : kHeight}};
  std::vector<uint32_t> table;
  for (uint32_t r = 0; strips && r < kHeight; ++r) {
    table.push_back(8 + r * rowBytes);
  }
  return vantoril::test::TiffBytes(big, Pattern(pixels, 4), entries, table);
}

std::vector<uint8_t> Photoshop(int channels, int mode, int depth, bool packBits) {
  ByteWriter b;
  b.Text("8BPS").U16BE(1).U32BE(0).U16BE(0).U16BE(channels).U32BE(kHeight).U32BE(kWidth);
  b.U16BE(depth).U16BE(mode).U32BE(mode == 2 ? 768 : 0);
  if (mode == 2) {
    b.Bytes(Pattern(768, 5));
  }
  b.U32BE(0).U32BE(0).U16BE(packBits ? 1 : 0);
  const int rowBytes = kWidth * depth / 8;
  if (!packBits) {
    return b.Bytes(Pattern(static_cast<size_t>(channels) * kHeight * rowBytes, 6)).Data();
  }
  // Each row: a run of two, then a literal of the rest.
  for (int i = 0; i < channels * kHeight; ++i) {
    b.U16BE(2 + 1 + rowBytes - 2);
  }
  for (int i = 0; i < channels * kHeight; ++i) {
    b.U8(0xFF).U8(i).U8(rowBytes - 3).Bytes(Pattern(rowBytes - 2, i));
  }
  return b.Data();
}

std::vector<uint8_t> Jpeg(bool grey, bool progressive) {
  const int components = grey ? 1 : 3;
  return vantoril::test::JpegBytes(8, 8, grey, 50, progressive, [&](int x, int y, int c) {
    return static_cast<uint8_t>((x * components + c) * 10 + y * 30);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const auto write = [&](const std::string& name, const std::vector<uint8_t>& b) {
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  };
  write("bmp8", Bmp(8, kHeight, 0, 40));
  write("bmp16-fields", Bmp(16, kHeight, 3, 40));
  write("bmp24-topdown", Bmp(24, -kHeight, 0, 40));
  write("bmp32-v5", Bmp(32, kHeight, 3, 124));
  write("tga8-mapped", Targa(8, 1, 0));
  write("tga16", Targa(16, 2, 0x20));
  write("tga24", Targa(24, 2, 0));
  write("tga32", Targa(32, 2, 0x28));
  write("tif-ii-rgb", Tiff(false, 3, false));
  write("tif-mm-strips", Tiff(true, 3, true));
  write("tif-ii-grey-strips", Tiff(false, 1, true));
  write("tif-mm-rgba", Tiff(true, 4, false));
  write("psd-rgb-raw", Photoshop(3, 3, 8, false));
  write("psd-rgba-packbits", Photoshop(4, 3, 8, true));
  write("psd-grey16-packbits", Photoshop(1, 1, 16, true));
  write("psd-indexed", Photoshop(1, 2, 8, false));
  write("jpg-colour", Jpeg(false, false));
  write("jpg-grey", Jpeg(true, false));
  write("jpg-progressive", Jpeg(false, true));
  return 0;
}

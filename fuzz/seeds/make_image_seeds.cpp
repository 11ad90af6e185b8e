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

#include <jpeglib.h>

namespace {

class Bytes {
 public:
  Bytes& U8(unsigned v) {
    data.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  Bytes& U16LE(unsigned v) { return U8(v).U8(v >> 8); }
  Bytes& U32LE(uint32_t v) { return U16LE(v & 0xFFFF).U16LE(v >> 16); }
  Bytes& U16BE(unsigned v) { return U8(v >> 8).U8(v); }
  Bytes& U32BE(uint32_t v) { return U16BE(v >> 16).U16BE(v & 0xFFFF); }
  Bytes& U16(bool big, unsigned v) { return big ? U16BE(v) : U16LE(v); }
  Bytes& U32(bool big, uint32_t v) { return big ? U32BE(v) : U32LE(v); }
  Bytes& Text(std::string_view t) {
    data.insert(data.end(), t.begin(), t.end());
    return *this;
  }
  Bytes& Pattern(size_t count, unsigned seed) {
    for (size_t i = 0; i < count; ++i) {
      U8(seed + i * 29);
    }
    return *this;
  }
  std::vector<uint8_t> data;
};

constexpr int kWidth = 4;
constexpr int kHeight = 3;

Bytes Bmp(int bits, int height, uint32_t compression, uint32_t infoSize) {
  const int stride = (kWidth * bits / 8 + 3) & ~3;
  const uint32_t palette = bits == 8 ? 2 * 4 : 0;
  const uint32_t masks = compression == 3 && infoSize == 40 ? 12 : 0;
  const uint32_t offBits = 14 + infoSize + masks + palette;
  Bytes b;
  b.Text("BM").U32LE(offBits + stride * kHeight).U32LE(0).U32LE(offBits);
  b.U32LE(infoSize).U32LE(kWidth).U32LE(static_cast<uint32_t>(height)).U16LE(1).U16LE(bits);
  b.U32LE(compression).U32LE(0).U32LE(2835).U32LE(2835).U32LE(bits == 8 ? 2 : 0).U32LE(0);
  const bool sixteen = bits == 16;
  if (compression == 3) {
    b.U32LE(sixteen ? 0x7C00 : 0xFF0000).U32LE(sixteen ? 0x03E0 : 0xFF00).U32LE(sixteen ? 0x1F : 0xFF);
  }
  while (b.data.size() < 14 + infoSize + masks) {
    b.U8(0);
  }
  b.Pattern(palette, 7);
  return b.Pattern(static_cast<size_t>(stride) * kHeight, 1);
}

Bytes Targa(int depth, int type, uint8_t descriptor) {
  Bytes b;
  b.U8(2).U8(type == 1).U8(type).U16LE(0).U16LE(type == 1 ? 2 : 0).U8(type == 1 ? 24 : 0);
  b.U16LE(0).U16LE(0).U16LE(kWidth).U16LE(kHeight).U8(depth).U8(descriptor).Text("id");
  if (type == 1) {
    b.Pattern(6, 3);
  }
  return b.Pattern(static_cast<size_t>(kWidth) * kHeight * ((depth + 7) / 8), 2);
}

Bytes Tiff(bool big, int samples, bool strips) {
  const uint32_t rowBytes = kWidth * samples;
  const uint32_t pixels = rowBytes * kHeight;
  const uint32_t ifd = 8 + pixels;
  const int entries = 7;
  const uint32_t table = ifd + 2 + 12 * entries + 4;
  Bytes b;
  b.Text(big ? "MM" : "II").U16(big, 42).U32(big, ifd).Pattern(pixels, 4);
  b.U16(big, entries);
  const auto entry = [&](unsigned tag, unsigned type, uint32_t count, uint32_t value) {
    b.U16(big, tag).U16(big, type).U32(big, count);
    if (type == 3) {
      b.U16(big, value).U16(big, 0);
    } else {
      b.U32(big, value);
    }
  };
  entry(256, 3, 1, kWidth);
  entry(257, 3, 1, kHeight);
  entry(259, 3, 1, 1);
  entry(262, 3, 1, samples == 1 ? 1 : 2);
  if (strips) {
    entry(273, 4, kHeight, table);
  } else {
    entry(273, 4, 1, 8);
  }
  entry(277, 3, 1, samples);
  entry(278, 3, 1, strips ? 1 : kHeight);
  b.U32(big, 0);
  if (strips) {
    for (uint32_t r = 0; r < kHeight; ++r) {
      b.U32(big, 8 + r * rowBytes);
    }
  }
  return b;
}

Bytes Photoshop(int channels, int mode, int depth, bool packBits) {
  Bytes b;
  b.Text("8BPS").U16BE(1).U32BE(0).U16BE(0).U16BE(channels).U32BE(kHeight).U32BE(kWidth);
  b.U16BE(depth).U16BE(mode).U32BE(mode == 2 ? 768 : 0);
  if (mode == 2) {
    b.Pattern(768, 5);
  }
  b.U32BE(0).U32BE(0).U16BE(packBits ? 1 : 0);
  const int rowBytes = kWidth * depth / 8;
  if (!packBits) {
    return b.Pattern(static_cast<size_t>(channels) * kHeight * rowBytes, 6);
  }
  // Each row: a run of two, then a literal of the rest.
  for (int i = 0; i < channels * kHeight; ++i) {
    b.U16BE(2 + 1 + rowBytes - 2);
  }
  for (int i = 0; i < channels * kHeight; ++i) {
    b.U8(0xFF).U8(i).U8(rowBytes - 3).Pattern(rowBytes - 2, i);
  }
  return b;
}

Bytes Jpeg(bool grey, bool progressive) {
  jpeg_compress_struct compress{};
  jpeg_error_mgr error{};
  compress.err = jpeg_std_error(&error);
  jpeg_create_compress(&compress);
  unsigned char* output = nullptr;
  unsigned long outputSize = 0;
  jpeg_mem_dest(&compress, &output, &outputSize);
  compress.image_width = 8;
  compress.image_height = 8;
  compress.input_components = grey ? 1 : 3;
  compress.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&compress);
  jpeg_set_quality(&compress, 50, TRUE);
  if (progressive) {
    jpeg_simple_progression(&compress);
  }
  jpeg_start_compress(&compress, TRUE);
  std::vector<uint8_t> line(8 * 3);
  while (compress.next_scanline < compress.image_height) {
    for (size_t i = 0; i < line.size(); ++i) {
      line[i] = static_cast<uint8_t>(i * 10 + compress.next_scanline * 30);
    }
    JSAMPROW row = line.data();
    jpeg_write_scanlines(&compress, &row, 1);
  }
  jpeg_finish_compress(&compress);
  Bytes b;
  b.data.assign(output, output + outputSize);
  jpeg_destroy_compress(&compress);
  std::free(output);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const auto write = [&](const std::string& name, const Bytes& b) {
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data.data()), static_cast<std::streamsize>(b.data.size()));
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

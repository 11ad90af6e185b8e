#include "media/support/picture_files.h"

// jpeglib.h needs the standard headers before it.
// clang-format off
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
// clang-format on

#include "support/byte_writer.h"

namespace vantoril::test {

std::vector<uint8_t> TiffBytes(bool big, const std::vector<uint8_t>& pixels,
                               const std::vector<TiffEntry>& entries,
                               const std::vector<uint32_t>& longTable, size_t ifdAt) {
  ByteWriter w;
  const size_t ifd = ifdAt != 0 ? ifdAt : 8 + pixels.size();
  w.Text(big ? "MM" : "II").U16(big, 42).U32(big, static_cast<uint32_t>(ifd));
  w.Bytes(pixels).PadTo(ifd);
  w.U16(big, static_cast<unsigned>(entries.size()));
  for (const TiffEntry& e : entries) {
    w.U16(big, e.tag).U16(big, e.type).U32(big, e.count);
    if (e.type == 3) {
      // SHORTs sit at the start of the value field (two fit).
      w.U16(big, e.value).U16(big, e.count == 2 ? e.value >> 16 : 0);
    } else {
      w.U32(big, e.value);
    }
  }
  w.U32(big, 0);  // no next IFD
  for (uint32_t v : longTable) {
    w.U32(big, v);
  }
  return w.Data();
}

uint32_t TiffTableOffset(size_t pixelBytes, size_t entries) {
  return static_cast<uint32_t>(8 + pixelBytes + 2 + 12 * entries + 4);
}

std::vector<uint8_t> JpegBytes(int width, int height, bool grey, int quality, bool progressive,
                               const std::function<uint8_t(int, int, int)>& sample) {
  jpeg_compress_struct compress{};
  jpeg_error_mgr error{};
  compress.err = jpeg_std_error(&error);
  jpeg_create_compress(&compress);
  unsigned char* output = nullptr;
  unsigned long outputSize = 0;
  jpeg_mem_dest(&compress, &output, &outputSize);
  compress.image_width = static_cast<JDIMENSION>(width);
  compress.image_height = static_cast<JDIMENSION>(height);
  compress.input_components = grey ? 1 : 3;
  compress.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&compress);
  jpeg_set_quality(&compress, quality, TRUE);
  if (progressive) {
    jpeg_simple_progression(&compress);
  }
  jpeg_start_compress(&compress, TRUE);
  std::vector<uint8_t> line(static_cast<size_t>(width) * compress.input_components);
  while (compress.next_scanline < compress.image_height) {
    const int y = static_cast<int>(compress.next_scanline);
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < compress.input_components; ++c) {
        line[x * compress.input_components + c] = sample(x, y, c);
      }
    }
    JSAMPROW row = line.data();
    jpeg_write_scanlines(&compress, &row, 1);
  }
  jpeg_finish_compress(&compress);
  std::vector<uint8_t> bytes(output, output + outputSize);
  jpeg_destroy_compress(&compress);
  std::free(output);
  return bytes;
}

}  // namespace vantoril::test

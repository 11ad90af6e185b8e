#include "cli/png_file.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace vantoril::cli {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Rows top-down, each width x channels bytes.
bool WritePng(const std::vector<std::vector<png_byte>>& rows, int width, int channels,
              const std::filesystem::path& path) {
  FilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) {
    return false;
  }
  png_infop info = png_create_info_struct(png);
  struct WriteStruct {
    png_structp* png;
    png_infop* info;
    ~WriteStruct() { png_destroy_write_struct(png, info); }
  } owner{&png, &info};
  if (!info) {
    return false;
  }
  std::vector<png_bytep> pointers;
  pointers.reserve(rows.size());
  for (const auto& row : rows) {
    pointers.push_back(const_cast<png_bytep>(row.data()));
  }
  // libpng reports errors by longjmp; nothing with a destructor is created
  // between here and the end of the writing.
  if (setjmp(png_jmpbuf(png))) {
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(rows.size()), 8,
               channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  return std::fflush(file.get()) == 0 && !std::ferror(file.get());
}

// Blue, green, red, alpha of pixel x of a row of any depth.
void PixelAt(const ImageBuffer& image, const uint8_t* row, int x, uint8_t out[4]) {
  switch (image.BitsPerPixel()) {
    case 8: {
      const uint8_t* entry = image.PaletteEntry(row[x]);
      out[0] = entry ? entry[0] : row[x];
      out[1] = entry ? entry[1] : row[x];
      out[2] = entry ? entry[2] : row[x];
      out[3] = 255;
      break;
    }
    case 16: {
      const unsigned word = row[2 * x] | (row[2 * x + 1] << 8);
      out[2] = static_cast<uint8_t>((word >> 7) & 255);
      out[1] = static_cast<uint8_t>((word >> 2) & 255);
      out[0] = static_cast<uint8_t>((word << 3) & 255);
      out[3] = 255;
      break;
    }
    case 24:
      out[0] = row[3 * x];
      out[1] = row[3 * x + 1];
      out[2] = row[3 * x + 2];
      out[3] = 255;
      break;
    default:
      out[0] = row[4 * x];
      out[1] = row[4 * x + 1];
      out[2] = row[4 * x + 2];
      out[3] = row[4 * x + 3];
      break;
  }
}

bool Write(const ImageBuffer& image, const std::filesystem::path& path, int channels) {
  const int depth = image.BitsPerPixel();
  if (!image.HasHeader() || (depth != 8 && depth != 16 && depth != 24 && depth != 32)) {
    return false;
  }
  const int width = image.Width();
  const int height = image.Height();
  std::vector<std::vector<png_byte>> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const uint8_t* source = image.RowPointer(height - 1 - y);
    auto& row = rows[static_cast<size_t>(y)];
    row.resize(static_cast<size_t>(width) * channels);
    for (int x = 0; x < width; ++x) {
      uint8_t pixel[4];
      PixelAt(image, source, x, pixel);
      png_byte* out = row.data() + static_cast<size_t>(x) * channels;
      out[0] = pixel[2];
      out[1] = pixel[1];
      out[2] = pixel[0];
      if (channels == 4) {
        out[3] = pixel[3];
      }
    }
  }
  return WritePng(rows, width, channels, path);
}

}  // namespace

bool WriteRgbPng(const ImageBuffer& image, const std::filesystem::path& file) {
  return image.BitsPerPixel() == 32 && Write(image, file, 3);
}

bool WriteRgbaPng(const ImageBuffer& image, const std::filesystem::path& file) {
  return Write(image, file, 4);
}

}  // namespace vantoril::cli

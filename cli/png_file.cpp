#include "cli/png_file.h"

#include <png.h>

#include <new>
#include <string>
#include <vector>

#include "engine/replace_file.h"

namespace vantoril::cli {

namespace {

// Into the room reserved beforehand; past it the coder is stopped.
void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  if (out->capacity() - out->size() < length) png_error(png, "out of room");
  out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

// Rows top-down, each width x channels bytes.
// The PNG file's bytes, or nothing when libpng failed.
bool EncodePng(const std::vector<std::vector<png_byte>>& rows, int width, int channels,
               std::vector<uint8_t>& out) {
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
  png_set_write_fn(png, &out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(rows.size()), 8,
               channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  return true;
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

std::string Write(const ImageBuffer& image, const std::filesystem::path& path, int channels) {
  const int depth = image.BitsPerPixel();
  if (!image.HasHeader() || (depth != 8 && depth != 16 && depth != 24 && depth != 32)) {
    return "the picture has no pixels to write";
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
  // Room for the worst case of the coder (stored blocks, a filter byte a
  // row), so that its writes never allocate under libpng's long jumps.
  std::vector<uint8_t> bytes;
  const size_t raw = static_cast<size_t>(height) * (static_cast<size_t>(width) * channels + 1);
  try {
    bytes.reserve(raw + raw / 8 + 4096);
  } catch (const std::bad_alloc&) {
    return "not enough memory for the PNG file";
  }
  if (!EncodePng(rows, width, channels, bytes)) {
    return "the PNG coder failed";
  }
  // Whole or not at all: an older file of the name stays until then.
  std::error_code why;
  if (!ReplaceFile(path, bytes, ".writing", &why)) {
    return path.string() + ": " + why.message();
  }
  return {};
}

}  // namespace

std::string WriteRgbPng(const ImageBuffer& image, const std::filesystem::path& file) {
  if (image.BitsPerPixel() != 32) return "the frame is not a 32-bit picture";
  return Write(image, file, 3);
}

std::string WriteRgbaPng(const ImageBuffer& image, const std::filesystem::path& file) {
  return Write(image, file, 4);
}

}  // namespace vantoril::cli

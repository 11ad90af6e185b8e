#include <png.h>

#include <cstdint>
#include <new>
#include <optional>

#include "media/image_reader_support.h"
#include "media/image_readers.h"
#include "media/reduced_rows.h"

namespace vantoril {

namespace {

// libpng reports a fatal error by calling this, which must not return: it
// jumps back into Decode's frame.
[[noreturn]] void ErrorExit(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// Warnings (and the text of errors) are not printed anywhere.
void Warning(png_structp, png_const_charp) {}

void ReadFromFile(png_structp png, png_bytep data, size_t length) {
  auto* file = static_cast<BinaryFile*>(png_get_io_ptr(png));
  if (file->Read(data, length) != length) png_error(png, "cut short");
}

// Owns libpng's structures: destroyed on every path, also after an error
// jump (destroying half-created ones is safe).
struct PngDecoder {
  png_structp png = nullptr;
  png_infop info = nullptr;
  // A picture too large to hold, read at a fraction of its size.
  std::optional<ReducedRows> reduced;

  PngDecoder() = default;
  PngDecoder(const PngDecoder&) = delete;
  PngDecoder& operator=(const PngDecoder&) = delete;
  ~PngDecoder() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

// Holds the setjmp. Nothing with a destructor lives in this frame, so the
// jump out of libpng skips no clean-up; the decoder is released by the caller.
ImageReadResult Decode(PngDecoder& decoder, BinaryFile& file, ImageBuffer& image) {
  png_structp png = decoder.png;
  png_infop info = decoder.info;
  if (setjmp(png_jmpbuf(png)) != 0) {
    return kImageUnreadable;
  }
  png_set_read_fn(png, &file, ReadFromFile);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  // A picture past the largest side (a panorama) is read at a half, a
  // quarter or an eighth of its size, a row at a time; an interlaced one
  // would have to be held whole first.
  const int factor = ReducedRows::FactorFor(width, height);
  if (factor == 0 || (factor > 1 && png_get_interlace_type(png, info) != PNG_INTERLACE_NONE)) {
    return kImageTooLarge;
  }
  // Every kind becomes blue, green, red (and alpha where the file has any,
  // a transparent colour included); 16-bit samples keep their high byte, as
  // in TIFF and Photoshop files. Colours are taken as stored, without gamma.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  if ((channels != 3 && channels != 4) || png_get_rowbytes(png, info) != size_t{width} * channels) {
    return kImageUnreadable;
  }
  if (const ImageReadResult created =
          image_reader::CreatePicture(image, ReducedRows::Reduced(width, factor),
                                      ReducedRows::Reduced(height, factor), 8 * channels);
      created != kImageRead) {
    return created;
  }
  if (factor > 1) {
    decoder.reduced.emplace(image, static_cast<int>(width), factor, true);
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, decoder.reduced->Row(), nullptr);
      decoder.reduced->Add();
    }
    decoder.reduced->Finish();
    return kImageRead;
  }
  // The first line of the picture is the buffer's last row. An interlaced
  // picture comes in passes, each adding to the rows of the one before.
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, image.RowPointer(static_cast<int>(height - 1 - y)), nullptr);
    }
  }
  return kImageRead;
}

}  // namespace

ImageReadResult ReadPng(ImageBuffer& image, ImageFile& in) {
  if (!in.file.Seek(0)) {
    return kImageUnreadable;
  }
  PngDecoder decoder;
  decoder.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorExit, Warning);
  if (decoder.png == nullptr) return kImageNoMemory;
  decoder.info = png_create_info_struct(decoder.png);
  if (decoder.info == nullptr) return kImageNoMemory;
  try {
    return Decode(decoder, in.file, image);
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
}

}  // namespace vantoril

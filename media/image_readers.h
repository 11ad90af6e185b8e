#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/image_buffer.h"
#include "media/binary_file.h"
#include "media/image_read_result.h"

namespace vantoril {

// An open picture file: the readers read and seek through file; the format
// detection also looks at path (a name containing ".jp" or ".JP" is a JPEG).
struct ImageFile {
  BinaryFile file;
  std::string path;
};

// The formats the program reads, as the first bytes (and, for JPEG, the
// name) tell them; kTarga is what is left, since Targa files carry no
// signature.
enum class ImageFormat { kPhotoshop, kTiff, kBmp, kJpeg, kPng, kTarga };
ImageFormat DetectImageFormat(ImageFile& file);

// Chooses a reader by the file's first bytes (then, for JPEG, by its name;
// Targa is the fallback) and fills image, which must have been created (any
// size). A 32-bit picture whose alpha bytes are all 0 is made opaque.
ImageReadResult ReadImageByFormat(ImageBuffer& image, ImageFile& file);

// Each reader seeks to the start of the file itself and re-creates image at
// the picture's size: bottom-up rows, blue-green-red pixels.
ImageReadResult ReadBmp(ImageBuffer& image, ImageFile& file);
ImageReadResult ReadTarga(ImageBuffer& image, ImageFile& file);
ImageReadResult ReadTiff(ImageBuffer& image, ImageFile& file);
ImageReadResult ReadPhotoshop(ImageBuffer& image, ImageFile& file);
ImageReadResult ReadJpeg(ImageBuffer& image, ImageFile& file);
// PNG, the usual file of a logo or a title with transparency here.
ImageReadResult ReadPng(ImageBuffer& image, ImageFile& file);

// Whether JPEG files can be read (the decoder is linked in, so always).
bool IsJpegLibraryAvailable();

// PackBits run-length decoding of one row: a signed header byte n < 0 repeats
// the next byte 1 - n times, n >= 0 copies the next n + 1 bytes. Stops when
// row is full or source is used up; output past row's end is dropped and no
// byte past source's end is read. Returns the bytes written into row.
size_t UnpackBits(std::span<uint8_t> row, std::span<const uint8_t> source);

}  // namespace vantoril

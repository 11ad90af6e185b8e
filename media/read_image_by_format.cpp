#include <array>
#include <cstring>

#include "media/image_reader_support.h"
#include "media/image_readers.h"

namespace vantoril {

namespace {

bool StartsWith(const std::array<uint8_t, 14>& bytes, size_t at, const char* text) {
  return std::memcmp(bytes.data() + at, text, std::strlen(text)) == 0;
}

ImageReadResult ChooseReader(ImageBuffer& image, ImageFile& file) {
  if (!file.file.Seek(0)) {
    return kImageUnreadable;
  }
  switch (DetectImageFormat(file)) {
    case ImageFormat::kPhotoshop:
      return ReadPhotoshop(image, file);
    case ImageFormat::kTiff:
      return ReadTiff(image, file);
    case ImageFormat::kBmp:
      return ReadBmp(image, file);
    case ImageFormat::kJpeg:
      return ReadJpeg(image, file);
    case ImageFormat::kPng:
      return ReadPng(image, file);
    case ImageFormat::kTarga:
      break;
  }
  return ReadTarga(image, file);
}

}  // namespace

ImageFormat DetectImageFormat(ImageFile& file) {
  std::array<uint8_t, 14> first{};
  if (file.file.Seek(0)) {
    file.file.Read(first.data(), first.size());  // a shorter file leaves zeros
  }
  if (StartsWith(first, 0, "8BPS") || StartsWith(first, 0, "SPB8")) {
    return ImageFormat::kPhotoshop;
  }
  if (StartsWith(first, 0, "II") || StartsWith(first, 0, "MM")) {
    return ImageFormat::kTiff;
  }
  if (StartsWith(first, 0, "\x89PNG\r\n\x1A\n")) {
    return ImageFormat::kPng;
  }
  if (StartsWith(first, 0, "BM") || StartsWith(first, 0, "MB")) {
    return ImageFormat::kBmp;
  }
  // JFIF files name themselves at offset 6; every JPEG (Exif and the others
  // included) starts with a start-of-image marker and another marker.
  if (StartsWith(first, 6, "JFIF") || (first[0] == 0xFF && first[1] == 0xD8 && first[2] == 0xFF)) {
    return ImageFormat::kJpeg;
  }
  // Exactly these two spellings: "photo.Jpg" goes on to the Targa reader.
  if (file.path.find(".jp") != std::string::npos || file.path.find(".JP") != std::string::npos) {
    return ImageFormat::kJpeg;
  }
  return ImageFormat::kTarga;
}

ImageReadResult ReadImageByFormat(ImageBuffer& image, ImageFile& file) {
  if (!image.HasHeader()) {
    return kImageNoBuffer;
  }
  const ImageReadResult result = ChooseReader(image, file);
  if (result == kImageRead) {
    image_reader::MakeZeroAlphaOpaque(image);
  }
  return result;
}

}  // namespace vantoril

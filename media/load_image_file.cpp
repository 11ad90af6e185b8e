#include "media/load_image_file.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "media/image_readers.h"

namespace vantoril {

namespace {

// The picture's file name (after the last "\", ":" or "/", so shows written on
// other systems still find their pictures) in the alternate folder. A folder
// path without a final separator gets one.
std::string AlternatePath(std::string_view picturePath, std::string_view folder) {
  const size_t cut = picturePath.find_last_of("\\:/");
  const std::string_view name =
      cut == std::string_view::npos ? picturePath : picturePath.substr(cut + 1);
  if (name.empty()) {
    return {};
  }
  std::string path(folder);
  if (path.back() != '/' && path.back() != '\\') {
    path += '/';
  }
  path += name;
  return path;
}

void ShowReadFailure(MessageSink& messages, ImageReadResult result) {
  switch (result) {
    case kImageCompressed:
      messages.ShowMessage("Can't read compressed images", MessageSink::kNoCode);
      break;
    case kImageTooLarge: {
      char text[64];
      std::snprintf(text, sizeof text, "Images must be smaller than %d pixels",
                    ImageBuffer::kMaxSide);
      messages.ShowMessage(text, MessageSink::kNoCode);
      break;
    }
    case kImageTooFewColors:
      messages.ShowMessage("Images must have 256 colors or more", MessageSink::kNoCode);
      break;
    case kImageNoMemory:
      messages.ShowMessage("Not enough memory to load image", MessageSink::kNoCode);
      break;
    default:
      messages.ShowMessage("Can't read image file", result);
      break;
  }
}

int LoadPlaceholderInstead(ImageBuffer& image) {
  return LoadPlaceholderPicture(image) ? kImagePlaceholderLoaded : kImageLoadFailed;
}

}  // namespace

int LoadImageFile(ImageBuffer& image, const FileSpec& file, const FileSpec& altFolder,
                  bool showErrors, MessageSink& messages) {
  if (!image.HasHeader()) {
    return kImageLoadFailed;
  }
  // The file is closed when `in` goes out of scope, on every path.
  ImageFile in;
  in.path = std::string(file.Path());
  bool opened = in.file.Open(in.path, BinaryFile::Mode::kRead);
  if (!opened && altFolder.HasPath()) {
    std::string alternate = AlternatePath(file.Path(), altFolder.Path());
    if (!alternate.empty()) {
      in.path = std::move(alternate);
      opened = in.file.Open(in.path, BinaryFile::Mode::kRead);
    }
  }
  if (!opened) {
    if (showErrors) {
      messages.ShowMessage("Can't open graphics file", MessageSink::kNoCode);
      return kImageLoadFailed;
    }
    return LoadPlaceholderInstead(image);
  }

  const ImageReadResult result = ReadImageByFormat(image, in);
  in.file.Close();
  if (result == kImageRead) {
    return kImageLoaded;
  }
  if (!showErrors) {
    return LoadPlaceholderInstead(image);
  }
  ShowReadFailure(messages, result);
  return kImageLoadFailed;
}

}  // namespace vantoril

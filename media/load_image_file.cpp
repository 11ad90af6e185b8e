#include "media/load_image_file.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

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

// The reader's fixed text (scripts match it) as the first line, with its code
// where it has one, then the file the message is about.
void ShowPictureMessage(MessageSink& messages, std::string_view text, long code,
                        std::string_view path) {
  std::string shown(text);
  if (code != MessageSink::kNoCode) {
    shown += "  [ " + std::to_string(code) + " ]";
  }
  shown += '\n';
  shown += path;
  messages.ShowMessage(shown, MessageSink::kNoCode);
}

void ShowReadFailure(MessageSink& messages, ImageReadResult result, std::string_view path) {
  switch (result) {
    case kImageCompressed:
      ShowPictureMessage(messages, "Can't read compressed images", MessageSink::kNoCode, path);
      break;
    case kImageTooLarge: {
      char text[64];
      std::snprintf(text, sizeof text, "Images must be smaller than %d pixels",
                    ImageBuffer::kMaxSide);
      ShowPictureMessage(messages, text, MessageSink::kNoCode, path);
      break;
    }
    case kImageTooFewColors:
      ShowPictureMessage(messages, "Images must have 256 colors or more", MessageSink::kNoCode,
                         path);
      break;
    case kImageNoMemory:
      ShowPictureMessage(messages, "Not enough memory to load image", MessageSink::kNoCode, path);
      break;
    default:
      ShowPictureMessage(messages, "Can't read image file", result, path);
      break;
  }
}

// A reader's result in the user's words. Without a signature the file went
// to the Targa reader as the last resort, so its refusal most likely means
// the file is of a kind the program does not read at all.
PictureProblem ProblemOf(ImageReadResult result, ImageFormat format) {
  switch (result) {
    case kImageTooLarge:
      return PictureProblem::kTooLarge;
    case kImageNoMemory:
      return PictureProblem::kNoMemory;
    case kImageCompressed:
    case kImageTooFewColors:
      return PictureProblem::kUnknownFormat;
    default:
      return format == ImageFormat::kTarga ? PictureProblem::kUnknownFormat
                                           : PictureProblem::kDamaged;
  }
}

int LoadPlaceholderInstead(ImageBuffer& image) {
  return LoadPlaceholderPicture(image) ? kImagePlaceholderLoaded : kImageLoadFailed;
}

}  // namespace

int LoadImageFile(ImageBuffer& image, const FileSpec& file, const FileSpec& altFolder,
                  bool showErrors, MessageSink& messages, UnreadablePicture* problem) {
  UnreadablePicture unused;
  UnreadablePicture& report = problem != nullptr ? *problem : unused;
  report = {};
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
    std::error_code error;
    report.path = std::string(file.Path());
    report.problem = std::filesystem::exists(report.path, error) ? PictureProblem::kCannotOpen
                                                                 : PictureProblem::kNoSuchFile;
    if (showErrors) {
      ShowPictureMessage(messages, "Can't open graphics file", MessageSink::kNoCode, report.path);
      return kImageLoadFailed;
    }
    return LoadPlaceholderInstead(image);
  }

  const ImageReadResult result = ReadImageByFormat(image, in);
  if (result == kImageRead) {
    return kImageLoaded;
  }
  report.path = in.path;
  report.problem = ProblemOf(result, DetectImageFormat(in));
  in.file.Close();
  if (!showErrors) {
    return LoadPlaceholderInstead(image);
  }
  ShowReadFailure(messages, result, in.path);
  return kImageLoadFailed;
}

}  // namespace vantoril

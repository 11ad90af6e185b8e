#include "media/image_file_loader.h"

#include "media/image_readers.h"
#include "media/load_image_file.h"

namespace vantoril {

namespace {

PictureLoad FromResult(int result) {
  switch (result) {
    case kImageLoaded:
      return PictureLoad::kLoaded;
    case kImagePlaceholderLoaded:
      return PictureLoad::kPlaceholder;
    default:
      return PictureLoad::kFailed;
  }
}

}  // namespace

PictureLoad ImageFileLoader::LoadImageFile(ImageBuffer& image, const FileSpec& file,
                                           const FileSpec& altFolder, bool showErrors) {
  return FromResult(
      vantoril::LoadImageFile(image, file, altFolder, showErrors, messages_, &lastProblem_));
}

PictureLoad ImageFileLoader::ReadQuietly(ImageBuffer& image, const FileSpec& file,
                                         const FileSpec& altFolder,
                                         UnreadablePicture& problem) const {
  QuietMessageSink quiet;
  return FromResult(vantoril::LoadImageFile(image, file, altFolder, false, quiet, &problem));
}

bool ImageFileLoader::JpegAvailable() const {
  return IsJpegLibraryAvailable();
}

}  // namespace vantoril

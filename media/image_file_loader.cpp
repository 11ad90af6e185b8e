#include "media/image_file_loader.h"

#include "media/image_readers.h"
#include "media/load_image_file.h"

namespace vantoril {

PictureLoad ImageFileLoader::LoadImageFile(ImageBuffer& image, const FileSpec& file,
                                           const FileSpec& altFolder, bool showErrors) {
  switch (vantoril::LoadImageFile(image, file, altFolder, showErrors, messages_, &lastProblem_)) {
    case kImageLoaded:
      return PictureLoad::kLoaded;
    case kImagePlaceholderLoaded:
      return PictureLoad::kPlaceholder;
    default:
      return PictureLoad::kFailed;
  }
}

bool ImageFileLoader::JpegAvailable() const {
  return IsJpegLibraryAvailable();
}

}  // namespace vantoril

#include "media/image_file_loader.h"

#include "media/image_readers.h"
#include "media/load_image_file.h"

namespace vantoril {

int ImageFileLoader::LoadImageFile(ImageBuffer& image, const FileSpec& file,
                                   const FileSpec& altFolder, bool showErrors) {
  return vantoril::LoadImageFile(image, file, altFolder, showErrors, messages_, &lastProblem_);
}

bool ImageFileLoader::JpegAvailable() const {
  return IsJpegLibraryAvailable();
}

}  // namespace vantoril

#pragma once

#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/picture_problem.h"

namespace vantoril {

// What LoadImageFile put into the image.
enum class PictureLoad {
  kFailed,       // nothing usable; a message was shown when errors are shown
  kLoaded,       // the file's picture
  kPlaceholder,  // the built-in picture standing in for an unreadable file
};

// Reads picture files for the show document (the image readers implement it).
class PictureLoader {
 public:
  virtual ~PictureLoader() = default;

  // Reads the file (or, when missing, the same name in altFolder) into image.
  virtual PictureLoad LoadImageFile(ImageBuffer& image, const FileSpec& file,
                                    const FileSpec& altFolder, bool showErrors) = 0;

  // What kept the last LoadImageFile from reading its file, with the path it
  // tried; kNone when the file was read.
  virtual UnreadablePicture LastProblem() const { return {}; }

  // Whether JPEG files can be read.
  virtual bool JpegAvailable() const = 0;

  // Whether ReadQuietly may be called from several threads at once.
  virtual bool ReadsInParallel() const { return false; }
  // LoadImageFile without errors shown (the placeholder stands in), the
  // problem given back instead of kept; for loaders that ReadsInParallel.
  virtual PictureLoad ReadQuietly(ImageBuffer& /*image*/, const FileSpec& /*file*/,
                                  const FileSpec& /*altFolder*/,
                                  UnreadablePicture& /*problem*/) const {
    return PictureLoad::kFailed;
  }
};

}  // namespace vantoril

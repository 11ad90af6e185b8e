#pragma once

#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/picture_problem.h"

namespace vantoril {

// Reads picture files for the show document (the image readers implement it).
class PictureLoader {
 public:
  virtual ~PictureLoader() = default;

  // Reads the file (or, when missing, the same name in altFolder) into image.
  // Returns 0 on failure (a message was shown when showErrors is set), 1 when
  // loaded, 2 when the placeholder picture was loaded instead.
  virtual int LoadImageFile(ImageBuffer& image, const FileSpec& file, const FileSpec& altFolder,
                            bool showErrors) = 0;

  // What kept the last LoadImageFile from reading its file, with the path it
  // tried; kNone when the file was read.
  virtual UnreadablePicture LastProblem() const { return {}; }

  // Whether JPEG files can be read.
  virtual bool JpegAvailable() const = 0;
};

}  // namespace vantoril

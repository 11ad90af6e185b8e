#pragma once

#include "engine/message_sink.h"
#include "engine/picture_loader.h"

namespace vantoril {

// The show document's way to read picture files: LoadImageFile with the
// program's message sink.
class ImageFileLoader final : public PictureLoader {
 public:
  explicit ImageFileLoader(MessageSink& messages) : messages_(messages) {}

  PictureLoad LoadImageFile(ImageBuffer& image, const FileSpec& file, const FileSpec& altFolder,
                            bool showErrors) override;
  UnreadablePicture LastProblem() const override { return lastProblem_; }
  bool JpegAvailable() const override;
  // The readers keep no state between files.
  bool ReadsInParallel() const override { return true; }
  PictureLoad ReadQuietly(ImageBuffer& image, const FileSpec& file, const FileSpec& altFolder,
                          UnreadablePicture& problem) const override;

 private:
  MessageSink& messages_;
  UnreadablePicture lastProblem_;
};

}  // namespace vantoril

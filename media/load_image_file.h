#pragma once

#include "engine/file_spec.h"
#include "engine/image_buffer.h"
#include "engine/message_sink.h"
#include "engine/picture_problem.h"

namespace vantoril {

// LoadImageFile's results.
inline constexpr int kImageLoadFailed = 0;
inline constexpr int kImageLoaded = 1;
inline constexpr int kImagePlaceholderLoaded = 2;

// Reads the picture named by file into image. When that file cannot be opened
// and altFolder has a path, the same file name is tried in that folder. With
// showErrors every failure goes to messages (the fixed text, then the file's
// path on a second line) and gives kImageLoadFailed; without, the placeholder
// picture takes the picture's place. A buffer that was never created gives
// kImageLoadFailed at once, silently. `problem` (when given) receives why the
// file could not be read and the path tried, kNone when it was read.
int LoadImageFile(ImageBuffer& image, const FileSpec& file, const FileSpec& altFolder,
                  bool showErrors, MessageSink& messages, UnreadablePicture* problem = nullptr);

// The built-in 160 x 120 picture shown for a missing or unreadable one, loaded
// at 24 bits, white on black.
bool LoadPlaceholderPicture(ImageBuffer& image);

}  // namespace vantoril

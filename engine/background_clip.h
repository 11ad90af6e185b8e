#pragma once

#include <cstdint>

#include "engine/file_spec.h"
#include "engine/image_buffer.h"

namespace vantoril {

// The frames inside a clip that could not be decoded (their data damaged):
// how many reads failed since the clip was opened, and the first and last of
// those clip frames, counted from 0. A show frame over one keeps the
// background it had.
struct UndecodedClipFrames {
  int64_t reads = 0;
  int first = -1;
  int last = -1;
};

// The background movie clip as the show document and the compositor see it
// (the clip reader implements it).
class BackgroundClip {
 public:
  virtual ~BackgroundClip() = default;

  // Opens the clip, closing any open one. May change the frame rate that is
  // passed in (an AVI clip brings its own). False (with the message shown)
  // when the clip cannot be opened.
  virtual bool Open(const FileSpec& file, int& frameRate) = 0;
  virtual bool IsOpen() const = 0;
  // Reads the clip frame that shows at show frame `frame` into image (re-created
  // as needed, 32 bits). A frame past the end leaves image as it was and
  // returns false.
  virtual bool ReadFrame(int frame, int frameRate, ImageBuffer& image) = 0;
  virtual void Close() = 0;
  virtual UndecodedClipFrames Undecoded() const { return {}; }
};

}  // namespace vantoril

#pragma once

#include "engine/image_buffer.h"

namespace vantoril {

// The still background as the compositor lays it under every frame: stretched
// once to the frame's size and kept while neither the picture nor the size
// changes. Whether the picture changed is found by comparing it with the copy
// kept from the last stretch, so no caller has to report a change.
class StretchedBackground {
 public:
  // The background at destination's size and depth: `source` itself when it
  // has them already, else the kept stretch of it (made again when needed).
  // Null when source cannot be stretched into destination; the caller then
  // stretches directly, as before.
  const ImageBuffer* For(const ImageBuffer& source, const ImageBuffer& destination);

 private:
  ImageBuffer source_;     // the picture as it was stretched
  ImageBuffer stretched_;  // at the destination's size and depth
  bool valid_ = false;
};

// Copies buffer rows first .. end - 1 (counted from the top) of `from` into
// `to`, which has the same size and depth.
void CopyRowsFromTop(const ImageBuffer& from, ImageBuffer& to, int first, int end);

// Whether two buffers have the same width, height and depth.
bool SameLayout(const ImageBuffer& a, const ImageBuffer& b);

}  // namespace vantoril

#pragma once

#include <cstdint>

#include "engine/image_buffer.h"
#include "engine/key_frame.h"

namespace vantoril {

// How DrawPicture does its work; every choice paints the same pixels. The
// compositor uses the defaults; tests and benchmarks pin the alternatives
// against each other.
enum class BlurMethod {
  kRunningSums,  // column sums that follow the brush's own writes
  kDirect,       // BoxAverage over the whole window for every pixel
};

enum class PaintThreads {
  kAuto,    // brushes that read no neighbour split big areas over two threads
  kSingle,  // everything on the calling thread
  kSplit,   // split whenever the brush and draw mode allow it, however small
};

struct DrawPictureOptions {
  BlurMethod blur = BlurMethod::kRunningSums;
  PaintThreads threads = PaintThreads::kAuto;
};

// DrawPicture (engine/compositor.h) with the way of working chosen.
bool DrawPictureWith(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                     int32_t brush, uint32_t tint, int drawMode, int stageW, int stageH,
                     const DrawPictureOptions& options);

}  // namespace vantoril

#pragma once

#include <cstdint>
#include <limits>

#include "engine/compositor.h"
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

// The instruction set the rows are painted with.
enum class VectorPath {
  kAuto,    // the widest this processor has
  kScalar,  // the portable path
  kAvx2,    // only where the processor has AVX2 and FMA
  // The normal brush with AVX-512 (F, BW, VL, DQ), the others with AVX2; only
  // where the processor has both.
  kAvx512,
};

// Whether this processor can run VectorPath::kAvx2.
bool ProcessorHasAvx2();
// Whether it can run VectorPath::kAvx512.
bool ProcessorHasAvx512();

struct DrawPictureOptions {
  BlurMethod blur = BlurMethod::kRunningSums;
  PaintThreads threads = PaintThreads::kAuto;
  // Test only the columns of each row that the turned picture can cover
  // (false: every column of its bounding box).
  bool rowSpans = true;
  VectorPath vector = VectorPath::kAuto;
  // Paint only the destination's buffer rows bandFirst .. bandEnd - 1,
  // counted from the top. Brushes that read no neighbour paint exactly their
  // part of the whole picture; blur and pixelate ignore the band and paint
  // the picture whole, so callers run them once.
  int bandFirst = 0;
  int bandEnd = std::numeric_limits<int>::max();
};

// Whether a brush reads pixels other than the one it paints (blur, pixelate),
// so that painting it in bands would change what it reads.
bool BrushReadsNeighbours(Brush brush);

// DrawPicture (engine/compositor.h) with the way of working chosen.
bool DrawPictureWith(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                     Brush brush, uint32_t tint, DrawMode drawMode, int stageW, int stageH,
                     const DrawPictureOptions& options);

}  // namespace vantoril

#pragma once

#include <cstdint>

#include "engine/image_buffer.h"

namespace vantoril {

// The blur brush's window average over a 32-bit image: columns left ..
// right - 1 and display rows top .. bottom - 1 (display row 0 is the top line,
// memory row height - 1). left and top are first brought into 0 .. width and
// 0 .. height. Each of blue, green and red becomes its window sum divided by
// the pixel count (integer division). An empty window leaves the outputs as
// the caller preset them and returns false; so does a buffer that is not 32
// bits deep. A right or bottom end past the image is cut at its edge.
bool BoxAverage(const ImageBuffer& image, int left, int top, int right, int bottom, uint8_t& blue,
                uint8_t& green, uint8_t& red);

}  // namespace vantoril

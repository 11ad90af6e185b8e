#pragma once

// The brushes that read the destination around the pixel they paint, and so
// paint their rows in order, each pixel seeing what the ones before it wrote.

#include "engine/draw_plan.h"
#include "engine/image_buffer.h"

namespace vantoril::paint {

// Each pixel takes on the colour of its block's corner pixel.
void PaintPixelate(const Plan& p);

// The blur with BoxAverage over the whole window of every pixel, as written.
void PaintBlurDirect(const Plan& p, const ImageBuffer& destination);

// The same blur, pixel for pixel, from running sums.
void PaintBlurRunning(const Plan& p);

}  // namespace vantoril::paint

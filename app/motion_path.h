#pragma once

#include <cstdint>
#include <span>

#include "engine/key_frame.h"

namespace vantoril {

// Draws a picture's path on the current drawing context: each move sampled
// at 16 points of the interpolated x and y, in `colour`, and a small red
// circle on every key frame. originX/originY and scale map stage pixels to
// the window. Gives the number of key frames.
int DrawMotionPath(std::span<const KeyFrame> keys, int mode, int originX, int originY, double scale,
                   uint32_t colour);

}  // namespace vantoril

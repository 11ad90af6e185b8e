#pragma once

#include <cstdint>

#include "engine/image_buffer.h"
#include "engine/key_frame.h"

namespace vantoril {

class ShowDocument;

// Field modes of ComposeFrame.
inline constexpr int kFullFrame = 0;
inline constexpr int kFirstField = 1;
inline constexpr int kSecondField = 2;
inline constexpr int kInterlacedFields = 3;

// Paints frame t of the show into destination (32 bits, any size: the stage is
// scaled to it): the background, then the pictures from the last slot to the
// first. t = -1 takes the pictures' states from the stage view. fieldMode 0
// full frame, 1 first field, 2 second field (into a half-height buffer), 3
// both fields interlaced into one full frame.
bool ComposeFrame(ShowDocument& document, int t, int fieldMode, int fieldArg,
                  ImageBuffer& destination);

// How ComposeFrameWith works; every choice paints the same pixels.
struct ComposeOptions {
  // Horizontal bands of the frame painted side by side, each with every
  // picture in order; 0 gives one per core.
  int bands = 0;
};

// ComposeFrame with the way of working chosen. Pictures whose brush reads
// its neighbours (blur, pixelate) are painted whole, after every band has
// painted the pictures beneath them.
bool ComposeFrameWith(ShowDocument& document, int t, int fieldMode, int fieldArg,
                      ImageBuffer& destination, const ComposeOptions& options);

// Paints one picture with its brush. drawMode is the three digits ABC:
// fieldDiv A + 1, lineStep B + 1, parity C. False when a buffer has no header.
bool DrawPicture(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                 int32_t brush, uint32_t tint, int drawMode, int stageW, int stageH);

}  // namespace vantoril

#pragma once

#include <cstdint>

#include "engine/image_buffer.h"
#include "engine/key_frame.h"
#include "engine/show_document.h"

namespace vantoril {

// What ComposeFrame paints. The command line's --field-mode takes the
// numbers 0..3 in this order.
enum class FieldMode {
  kFullFrame,
  kFirstField,        // into a half-height buffer
  kSecondField,       // into a half-height buffer
  kInterlacedFields,  // both fields into one full frame
};

// Which display rows of the stage a picture is painted on, and how they land
// on the destination's rows.
struct DrawMode {
  int fieldDiv = 1;  // display rows per destination row: 2 for a field buffer
  int lineStep = 1;  // every lineStep-th display row is painted,
  int parity = 0;    // starting at this one
};

inline constexpr DrawMode kAllRows{1, 1, 0};
inline constexpr DrawMode kOddRowsOfFrame{1, 2, 0};
inline constexpr DrawMode kEvenRowsOfFrame{1, 2, 1};
inline constexpr DrawMode kFieldBufferOddRows{2, 2, 0};
inline constexpr DrawMode kFieldBufferEvenRows{2, 2, 1};

// Paints frame t of the show into destination (32 bits, any size: the stage is
// scaled to it): the background, then the pictures from the last slot to the
// first. t = -1 takes the pictures' states from the stage view.
bool ComposeFrame(ShowDocument& document, int t, FieldMode fieldMode, int fieldArg,
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
bool ComposeFrameWith(ShowDocument& document, int t, FieldMode fieldMode, int fieldArg,
                      ImageBuffer& destination, const ComposeOptions& options);

// Paints one picture with its brush. A brush code past the known ones, or a
// draw mode with a part outside 1..10 (fieldDiv, lineStep) or 0..9 (parity),
// paints nothing. False when a buffer has no header.
bool DrawPicture(const ImageBuffer& source, ImageBuffer& destination, const KeyFrame& state,
                 Brush brush, uint32_t tint, DrawMode drawMode, int stageW, int stageH);

}  // namespace vantoril

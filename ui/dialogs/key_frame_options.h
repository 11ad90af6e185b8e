#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/key_frame.h"
#include "engine/show_document.h"

namespace vantoril {

class Window;

// The rows of the "Set KeyFrame Options" dialog: position, width, rotation,
// level, the ease group (rows 5..9), the ease speed and "No Curves".
inline constexpr int kKeyFrameOptionRows = 12;
inline constexpr int kKeyFrameOptionShortRows = 5;

struct KeyFrameOptionRows {
  std::array<std::string, kKeyFrameOptionRows> descriptions;
  std::array<std::string, kKeyFrameOptionRows> values;
};

// The dialog's rows for a record; the level row is named after the
// picture's brush.
KeyFrameOptionRows BuildKeyFrameOptionRows(const KeyFrame& record, Brush brush);

// Writes confirmed rows back; a number row left as shown keeps its field's
// fraction. The short form shows rows 0..4 only, so it leaves the ease code
// exactly as it was.
void ReadKeyFrameOptionRows(const KeyFrameOptionRows& rows, bool shortForm, KeyFrame& record);

// Runs the dialog on the Stage window. (x, y) is where the request came from,
// in the Stage's client coordinates; the dialog opens at (x - 250, y), kept
// at least 8 from the left edge. True on OK, and only then is the record
// changed.
bool EditKeyFrameOptions(Window& stage, int x, int y, KeyFrame& record, Brush brush,
                         bool shortForm);

}  // namespace vantoril

#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/file_spec.h"

namespace vantoril {

class Window;

// An option dialog described as rows of (description, value) texts and
// painted straight onto a host window. The description's first two
// characters choose the control: "@C" check box, "@R" radio choice (all of
// one dialog form one group; "@RGroup|Choice" puts a group caption beside
// it), "@S" slider 0..100, "@F" folder chooser, anything else a text field.
// Values are text: "1" or empty for boxes and choices, decimal for sliders, a
// folder ending in its separator for folders.

inline constexpr size_t kDialogValueCapacity = 63;  // characters a text field keeps

// Runs the dialog at (x0, y0) of the host's client area until the user
// confirms (1) or cancels (0). The values are edited in place; read them
// only after 1.
int RunDescribedDialog(Window& host, int x0, int y0, std::span<const std::string> descriptions,
                       std::span<std::string> values, std::string_view title);

// Paints the whole dialog in the current drawing context and font.
void PaintDescribedDialog(int x0, int y0, std::span<const std::string> descriptions,
                          std::span<const std::string> values, std::string_view title);

// The folder chooser's file reference: its path is where the chooser starts
// and receives the chosen file. Callers may fill it beforehand.
FileSpec& DescribedDialogFolder();

}  // namespace vantoril

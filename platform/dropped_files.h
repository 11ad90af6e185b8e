#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/message.h"

namespace vantoril {

class Window;

// Files dragged from the desktop onto `window` are announced to `target` as
// one kWmDropFiles message per drop, whose wParam names the drop. Only local
// files are taken.
void AcceptDroppedFiles(const Window& window, WindowHandle target);

// The paths of the drop that a kWmDropFiles message named, in the order they
// were dropped; empty when it was taken already.
std::vector<std::string> TakeDroppedFiles(WindowHandle target, uintptr_t drop);

}  // namespace vantoril

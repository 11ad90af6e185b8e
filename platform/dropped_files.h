#pragma once

#include <string>
#include <vector>

#include "platform/message.h"

namespace vantoril {

class Window;

// Files dragged from the desktop onto `window` are announced to `target` as
// one kWmDropFiles message per drop. Only local files are taken.
void AcceptDroppedFiles(const Window& window, WindowHandle target);

// The paths of the oldest drop announced to `target` not yet taken, in the
// order they were dropped; empty when there is none.
std::vector<std::string> TakeDroppedFiles(WindowHandle target);

}  // namespace vantoril

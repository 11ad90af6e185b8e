#pragma once

#include <QWidget>
#include <functional>

#include "platform/message_queue.h"
#include "platform/window.h"

namespace vantoril::testing {

// Runs `act` on the modal widget (a dialog or a message box) as soon as one
// is open. Tests call it before the call that opens the dialog.
void WhenModal(std::function<void(QWidget*)> act);
// Runs `act` on what `find` gives as soon as it gives a widget.
void WhenFound(std::function<QWidget*()> find, std::function<void(QWidget*)> act);

void ProcessEvents();

// Creates `window` shown at (0, 0) in the given size, with no message left queued.
inline bool ShowWindow(Window& window, int width, int height, uint32_t style = kStylePopup) {
  ClearMessageQueue();
  if (!window.Create(nullptr, style)) return false;
  window.Move(Rect{0, 0, width, height}, false);
  window.Show(kShowNormal);
  ProcessEvents();
  ClearMessageQueue();
  return true;
}

// Posts a mouse message at (x, y), the left button held unless it is the release.
inline void PostMouse(WindowHandle window, uint32_t message, int x, int y) {
  PostMessage(window, message, message == kWmLButtonUp ? 0 : kMkLButton, MakeLParam(x, y));
}
inline void PostClick(WindowHandle window, int x, int y) {
  PostMouse(window, kWmLButtonDown, x, y);
  PostMouse(window, kWmLButtonUp, x, y);
}

}  // namespace vantoril::testing

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/geometry.h"
#include "platform/message.h"

namespace vantoril {

// Style bits of Window::Create.
inline constexpr uint32_t kStyleBorder = 1;
inline constexpr uint32_t kStylePopup = 2;
inline constexpr uint32_t kStyleHScroll = 32;
inline constexpr uint32_t kStyleVScroll = 64;
inline constexpr uint32_t kStyleOverlapped = 128;  // caption, menu, sizing frame

// Show modes.
inline constexpr int kShowHide = 0;
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMaximised = 2;

// The base of every program window: a platform window paired with this
// object. Every message dispatched to the window goes to HandleMessage and
// then to the default processing (a close request destroys the platform
// window; a size change repaints it). The window keeps a 32-bit image of its
// client area; drawing (platform/drawing.h) goes into that image inside a
// DrawingScope and the screen shows it.
class Window {
 public:
  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  virtual int HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  virtual void Paint();

  // Creates the platform window (empty title, arrow cursor, the program's
  // icon) and adds it to AppWindowList. A pop-up with an owner lies over the
  // owner's client area and moves with it.
  bool Create(Window* owner, uint32_t styleBits);
  // Takes the window out of AppWindowList and destroys the platform window.
  void Destroy();
  bool IsCreated() const;
  WindowHandle Handle() const;
  static Window* FromHandle(WindowHandle handle);

  void Show(int mode);
  // For a pop-up with an owner the rectangle is in the owner's client
  // coordinates, otherwise in screen coordinates (the outer frame).
  void Move(const Rect& rect, bool repaint);
  void SetTitle(std::string_view title);
  std::string Title() const;
  void SetFocus();
  // When set, a close request reaches HandleMessage only and the default
  // processing keeps the window: for a window whose closing its owner
  // decides (and may refuse).
  void SetCloseDecidedByProgram(bool decided);

  // Scroll bars: minimum 0, both positions reset to 0; a bar stays visible
  // (disabled) when its range fits the page.
  void SetScrollRanges(int hMax, int vMax, int hPage, int vPage);
  // The common handling of a scroll message: line steps by lineStep, page
  // steps by the client width or height, thumb tracking follows the thumb;
  // then the window repaints.
  void ScrollStep(uint32_t barMessage, uintptr_t wParam, int lineStep);
  Point ScrollPosition() const;

  Rect ClientRect() const;
  // The outer frame in screen coordinates (for a pop-up with an owner: in the
  // owner's client coordinates).
  Rect WindowRect() const;
  // Client pixel of the window's image as 0x00BBGGRR (0 outside).
  uint32_t PixelAt(int x, int y) const;

  // Calls Paint now (painting is not queued).
  void Repaint();

  // The window procedure: HandleMessage, then the default processing.
  void Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam);

  struct Impl;
  Impl* impl() const { return impl_.get(); }

 private:
  void DestroyPlatformWindow();

  std::unique_ptr<Impl> impl_;
};

// Makes the window's image the current drawing context for the scope's
// lifetime; scopes nest, the previous context comes back at the end.
class DrawingScope {
 public:
  explicit DrawingScope(Window& window);
  ~DrawingScope();
  DrawingScope(const DrawingScope&) = delete;
  DrawingScope& operator=(const DrawingScope&) = delete;

 private:
  void* previous_;
  Window::Impl* impl_;
};

}  // namespace vantoril

#pragma once

// Platform-internal: the Qt side of a program window. Only platform/ and the
// platform tests include this.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <array>
#include <memory>

#include "platform/window.h"

namespace vantoril {

class CanvasWidget;

// One window's drawing context: a painter on the window's image.
struct DrawingTarget {
  Window::Impl* owner = nullptr;
  QImage image;
  std::unique_ptr<QPainter> painter;
  int depth = 0;
  QPoint origin;
  QFont font;
  QFont previousFont;
  uint32_t background = 0x00FFFFFF;
  int backgroundMode = 2;  // opaque

  void Begin();
  void End();
  // Keeps the image's pixels and the context state across a size change.
  void Resize(const QSize& size);
  void ApplyState();
  void MarkDirty();
};

struct Window::Impl {
  Window* self = nullptr;
  Window* owner = nullptr;
  WindowHandle handle = 0;
  uint32_t style = 0;
  bool created = false;
  bool closeDecidedByProgram = false;
  QPointer<QWidget> frame;
  QPointer<CanvasWidget> canvas;
  std::array<QPointer<QScrollBar>, 2> bars;
  std::array<int, 2> scrollMax{};
  std::array<int, 2> scrollPage{};
  std::array<int, 2> scrollPos{};
  std::array<int, 2> wheelPending{};  // wheel turns short of a notch
  DrawingTarget target;
};

// The current drawing context, or null.
DrawingTarget* CurrentDrawingTarget();

// The font an id stands for (the toolkit's default for an unknown id).
QFont FontForId(int font);

// For tests and platform code.
QWidget* CanvasOf(const Window& window);
QWidget* FrameOf(const Window& window);
const QImage& BackingImageOf(const Window& window);

}  // namespace vantoril

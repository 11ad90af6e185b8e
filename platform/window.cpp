#include "platform/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <unordered_map>

#include "platform/app_window_list.h"
#include "platform/key_codes.h"
#include "platform/message_queue.h"
#include "platform/resource_art.h"
#include "platform/window_impl.h"

namespace vantoril {

namespace {

DrawingTarget* g_current = nullptr;
WindowHandle g_nextHandle = 1;

std::unordered_map<WindowHandle, Window*>& Registry() {
  static std::unordered_map<WindowHandle, Window*> registry;
  return registry;
}

uintptr_t MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  uintptr_t flags = 0;
  if (buttons & Qt::LeftButton) flags |= kMkLButton;
  if (buttons & Qt::RightButton) flags |= kMkRButton;
  if (modifiers & Qt::ShiftModifier) flags |= kMkShift;
  if (modifiers & Qt::ControlModifier) flags |= kMkControl;
  return flags;
}

uint32_t HeldKeysOf(Qt::KeyboardModifiers modifiers) {
  return static_cast<uint32_t>(MouseFlags(Qt::NoButton, modifiers));
}

uint32_t KeyModifiers(Qt::KeyboardModifiers modifiers) {
  uint32_t bits = 0;
  if (modifiers & Qt::ShiftModifier) bits |= kKeyShift;
  if (modifiers & Qt::ControlModifier) bits |= kKeyControl;
  if (modifiers & Qt::AltModifier) bits |= kKeyAlt;
  if (modifiers & Qt::KeypadModifier) bits |= kKeyKeypad;
  return bits;
}

}  // namespace

// The client area: shows the window's image and turns input into messages.
class CanvasWidget : public QWidget {
 public:
  CanvasWidget(Window::Impl* impl, QWidget* parent) : QWidget(parent), impl_(impl) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.drawImage(event->rect(), impl_->target.image, event->rect());
  }
  void resizeEvent(QResizeEvent* event) override {
    impl_->target.Resize(event->size());
    Post(kWmSize, 0, MakeLParam(event->size().width(), event->size().height()));
  }
  void mousePressEvent(QMouseEvent* event) override {
    setFocus(Qt::MouseFocusReason);
    const uint32_t kind = event->button() == Qt::LeftButton    ? kWmLButtonDown
                          : event->button() == Qt::RightButton ? kWmRButtonDown
                                                               : 0;
    PostMouse(kind, event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    const uint32_t kind = event->button() == Qt::LeftButton    ? kWmLButtonUp
                          : event->button() == Qt::RightButton ? kWmRButtonUp
                                                               : 0;
    PostMouse(kind, event);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    const uint32_t kind = event->button() == Qt::LeftButton    ? kWmLButtonDblClk
                          : event->button() == Qt::RightButton ? kWmRButtonDblClk
                                                               : 0;
    PostMouse(kind, event);
  }
  void mouseMoveEvent(QMouseEvent* event) override { PostMouse(kWmMouseMove, event); }
  void wheelEvent(QWheelEvent* event) override {
    // Each notch is one line step of the vertical bar, or of the horizontal
    // one with Shift held (or for a sideways wheel); the window scrolls when
    // it handles the messages, as for a click on a bar's arrow.
    const QPoint delta = event->angleDelta();
    const bool sideways = (event->modifiers() & Qt::ShiftModifier) != 0 || delta.y() == 0;
    const int bar = sideways ? 0 : 1;
    const int amount = delta.y() != 0 ? delta.y() : delta.x();
    if (!impl_->bars[bar] || amount == 0) {
      event->ignore();
      return;
    }
    int& pending = impl_->wheelPending[bar];
    pending += amount;
    const uint32_t kind = bar == 0 ? kWmHScroll : kWmVScroll;
    for (; pending >= QWheelEvent::DefaultDeltasPerStep;
         pending -= QWheelEvent::DefaultDeltasPerStep) {
      Post(kind, kSbLineUp, 0);
    }
    for (; pending <= -QWheelEvent::DefaultDeltasPerStep;
         pending += QWheelEvent::DefaultDeltasPerStep) {
      Post(kind, kSbLineDown, 0);
    }
    event->accept();
  }
  void keyPressEvent(QKeyEvent* event) override {
    const uint32_t modifiers = KeyModifiers(event->modifiers());
    const QString text = event->text();
    const uint32_t first = text.isEmpty() ? 0 : text.at(0).unicode();
    const int code = VirtualKeyFromQtKey(event->key(), modifiers);
    const uint32_t character = CharacterFromQtKey(event->key(), modifiers, first);
    if (code == 0 && character == 0) {
      QWidget::keyPressEvent(event);
      return;
    }
    EnqueueMessage(Message{impl_->handle, kWmKeyDown, static_cast<uintptr_t>(code), 1, character},
                   HeldKeysOf(event->modifiers()));
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    const int code = VirtualKeyFromQtKey(event->key(), KeyModifiers(event->modifiers()));
    if (code != 0) {
      EnqueueMessage(Message{impl_->handle, kWmKeyUp, static_cast<uintptr_t>(code), 1, 0},
                     HeldKeysOf(event->modifiers()));
    }
  }
  bool focusNextPrevChild(bool) override { return false; }  // Tab is a program key

 private:
  void Post(uint32_t kind, uintptr_t wParam, intptr_t lParam) {
    EnqueueMessage(Message{impl_->handle, kind, wParam, lParam, 0});
  }
  void PostMouse(uint32_t kind, QMouseEvent* event) {
    if (kind == 0) {
      return;
    }
    const QPoint at = event->position().toPoint();
    EnqueueMessage(Message{impl_->handle, kind, MouseFlags(event->buttons(), event->modifiers()),
                           MakeLParam(at.x(), at.y()), 0},
                   HeldKeysOf(event->modifiers()));
  }

  Window::Impl* impl_;
};

namespace {

// The overlapped (top-level) frame: the close box becomes a close request.
class MainFrame : public QMainWindow {
 public:
  explicit MainFrame(Window::Impl* impl) : impl_(impl) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    EnqueueMessage(Message{impl_->handle, kWmClose, 0, 0, 0});
  }
  void moveEvent(QMoveEvent* event) override {
    EnqueueMessage(
        Message{impl_->handle, kWmMove, 0, MakeLParam(event->pos().x(), event->pos().y()), 0});
  }

 private:
  Window::Impl* impl_;
};

class PopupFrame : public QFrame {
 public:
  PopupFrame(Window::Impl* impl, QWidget* parent) : QFrame(parent), impl_(impl) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    EnqueueMessage(Message{impl_->handle, kWmClose, 0, 0, 0});
  }

 private:
  Window::Impl* impl_;
};

}  // namespace

// --- drawing target ---------------------------------------------------------

DrawingTarget* CurrentDrawingTarget() {
  return g_current;
}

void DrawingTarget::Begin() {
  if (depth++ > 0) {
    return;
  }
  if (image.isNull()) {
    image = QImage(1, 1, QImage::Format_RGB32);
    image.fill(Qt::white);
  }
  // Each time a window's context is taken it starts fresh: no origin, the
  // default font, an opaque white text background.
  origin = QPoint();
  font = QFont();
  previousFont = font;
  background = 0x00FFFFFF;
  backgroundMode = 2;
  painter = std::make_unique<QPainter>(&image);
  ApplyState();
}

void DrawingTarget::End() {
  if (depth == 0 || --depth > 0) {
    return;
  }
  painter.reset();
  MarkDirty();
}

void DrawingTarget::ApplyState() {
  if (!painter) {
    return;
  }
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setRenderHint(QPainter::TextAntialiasing, true);
  painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter->resetTransform();
  painter->translate(-origin.x(), -origin.y());
  painter->setFont(font);
}

void DrawingTarget::Resize(const QSize& size) {
  if (size.isEmpty() || size == image.size()) {
    return;
  }
  const bool active = painter != nullptr;
  painter.reset();
  QImage resized(size, QImage::Format_RGB32);
  resized.fill(QColor(192, 192, 192));
  if (!image.isNull()) {
    QPainter copy(&resized);
    copy.drawImage(0, 0, image);
  }
  image = std::move(resized);
  if (active) {
    painter = std::make_unique<QPainter>(&image);
    ApplyState();
  }
}

void DrawingTarget::MarkDirty() {
  if (owner != nullptr && owner->canvas) {
    owner->canvas->update();
  }
}

// --- window -----------------------------------------------------------------

Window::Window() : impl_(std::make_unique<Impl>()) {
  impl_->self = this;
  impl_->target.owner = impl_.get();
}

Window::~Window() {
  if (g_current == &impl_->target) {
    g_current = nullptr;
  }
  Destroy();
}

int Window::HandleMessage(uint32_t, uintptr_t, intptr_t) {
  return 1;
}
void Window::Paint() {}

namespace {

// The scroll message's request for a scroll bar action, or -1 for an action
// the program has no message for.
int ScrollRequestForAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      return kSbLineDown;
    case QAbstractSlider::SliderSingleStepSub:
      return kSbLineUp;
    case QAbstractSlider::SliderPageStepAdd:
      return kSbPageDown;
    case QAbstractSlider::SliderPageStepSub:
      return kSbPageUp;
    case QAbstractSlider::SliderToMinimum:
      return kSbTop;
    case QAbstractSlider::SliderToMaximum:
      return kSbBottom;
    case QAbstractSlider::SliderMove:
      return kSbThumbTrack;
    default:
      return -1;
  }
}

// The frame a window lives in: a main window with a menu bar for an
// overlapped window, else a plain frame over its owner's client area. Returns
// the widget the client area and the scroll bars go into.
QWidget* CreateFrame(Window::Impl& impl, Window* owner, uint32_t styleBits) {
  if ((styleBits & kStyleOverlapped) != 0) {
    auto* frame = new MainFrame(&impl);
    QWidget* content = new QWidget(frame);
    frame->setCentralWidget(content);
    impl.frame = frame;
    return content;
  }
  QWidget* parent = owner != nullptr ? CanvasOf(*owner) : nullptr;
  auto* frame = new PopupFrame(&impl, parent);
  if (parent == nullptr) {
    frame->setWindowFlags(Qt::Window);
  }
  if ((styleBits & kStyleBorder) != 0) {
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
  }
  impl.frame = frame;
  return frame;
}

// A scroll bar (bar 0 horizontal, 1 vertical) whose actions become the
// window's scroll messages.
QScrollBar* CreateScrollBar(Window::Impl& impl, QWidget* content, int bar) {
  auto* scroll = new QScrollBar(bar == 0 ? Qt::Horizontal : Qt::Vertical, content);
  scroll->setRange(0, 0);
  scroll->setEnabled(false);
  scroll->setFocusPolicy(Qt::NoFocus);
  const uint32_t kind = bar == 0 ? kWmHScroll : kWmVScroll;
  QObject::connect(
      scroll, &QAbstractSlider::actionTriggered, scroll, [&impl, scroll, kind](int action) {
        const int request = ScrollRequestForAction(action);
        if (request < 0) {
          return;
        }
        const int position = scroll->sliderPosition();
        if (request != kSbThumbTrack) {
          // The program moves the bar itself when it handles the message.
          scroll->setSliderPosition(scroll->value());
        }
        EnqueueMessage(Message{impl.handle, kind,
                               static_cast<uintptr_t>(request) | ScrollThumbParameter(position), 0,
                               0});
      });
  QObject::connect(scroll, &QAbstractSlider::sliderReleased, scroll, [&impl, scroll, kind] {
    EnqueueMessage(Message{
        impl.handle, kind,
        static_cast<uintptr_t>(kSbThumbPosition) | ScrollThumbParameter(scroll->sliderPosition()),
        0, 0});
  });
  return scroll;
}

}  // namespace

bool Window::Create(Window* owner, uint32_t styleBits) {
  if (impl_->created || QApplication::instance() == nullptr) {
    return false;
  }
  Impl& impl = *impl_;
  impl.owner = owner;
  impl.style = styleBits;
  const bool overlapped = (styleBits & kStyleOverlapped) != 0;
  QWidget* content = CreateFrame(impl, owner, styleBits);
  impl.frame->setWindowIcon(ProgramIcon());
  impl.frame->setWindowTitle(QString());
  auto* grid = new QGridLayout(content);
  const int margin = overlapped ? 0 : ((styleBits & kStyleBorder) != 0 ? 1 : 0);
  grid->setContentsMargins(margin, margin, margin, margin);
  grid->setSpacing(0);
  impl.canvas = new CanvasWidget(&impl, content);
  grid->addWidget(impl.canvas, 0, 0);
  for (int bar = 0; bar < 2; ++bar) {
    const uint32_t bit = bar == 0 ? kStyleHScroll : kStyleVScroll;
    if ((styleBits & bit) == 0) {
      continue;
    }
    QScrollBar* scroll = CreateScrollBar(impl, content, bar);
    grid->addWidget(scroll, bar == 0 ? 1 : 0, bar == 0 ? 0 : 1);
    impl.bars[bar] = scroll;
  }
  if (overlapped) {
    impl.frame->resize(640, 480);
  }
  impl.target.font = QFont();
  impl.target.Resize(impl.canvas->size().isEmpty() ? QSize(1, 1) : impl.canvas->size());
  impl.handle = g_nextHandle++;
  impl.created = true;
  Registry()[impl.handle] = this;
  AppWindowList::Add(impl.handle);
  return true;
}

void Window::DestroyPlatformWindow() {
  Impl& impl = *impl_;
  if (!impl.created) {
    return;
  }
  impl.created = false;
  if (impl.target.painter) {
    impl.target.painter.reset();
  }
  impl.target.depth = 0;
  if (g_current == &impl.target) {
    g_current = nullptr;
  }
  delete impl.frame.data();  // owns the canvas, the bars and any pop-ups over it
}

void Window::Destroy() {
  Impl& impl = *impl_;
  if (impl.handle != 0) {
    AppWindowList::Remove(impl.handle);
    Registry().erase(impl.handle);
  }
  DestroyPlatformWindow();
  impl.handle = 0;
}

bool Window::IsCreated() const {
  return impl_->created && impl_->frame;
}
WindowHandle Window::Handle() const {
  return impl_->handle;
}
Window* Window::FromHandle(WindowHandle handle) {
  const auto found = Registry().find(handle);
  return found == Registry().end() ? nullptr : found->second;
}

void Window::Show(int mode) {
  if (!IsCreated()) {
    return;
  }
  switch (mode) {
    case kShowHide:
      impl_->frame->hide();
      return;
    case kShowMaximised:
      impl_->frame->showMaximized();
      break;
    default:
      impl_->frame->show();
      break;
  }
  if (!impl_->frame->isWindow()) {
    impl_->frame->raise();  // above the owner's other pop-ups
  } else if (impl_->canvas) {
    impl_->canvas->setFocus(Qt::OtherFocusReason);  // keys reach a new top-level window
  }
  if (impl_->canvas) {
    impl_->target.Resize(impl_->canvas->size());
  }
  Repaint();
}

void Window::Move(const Rect& rect, bool repaint) {
  if (!IsCreated()) {
    return;
  }
  QWidget* frame = impl_->frame;
  const int width = std::max(1, RectWidth(rect));
  const int height = std::max(1, RectHeight(rect));
  if (frame->isWindow()) {
    frame->move(rect.left, rect.top);
    frame->resize(width, height);
  } else {
    frame->setGeometry(rect.left, rect.top, width, height);
  }
  // Lay out now so that the client size is right when the program asks.
  if (frame->layout() != nullptr) {
    frame->layout()->activate();
  } else if (auto* main = qobject_cast<QMainWindow*>(frame); main && main->layout()) {
    main->layout()->activate();
  }
  if (impl_->canvas) {
    impl_->target.Resize(impl_->canvas->size());
  }
  if (repaint) {
    Repaint();
  }
}

void Window::SetTitle(std::string_view title) {
  if (IsCreated()) {
    impl_->frame->setWindowTitle(QString::fromUtf8(title.data(), static_cast<int>(title.size())));
  }
}

std::string Window::Title() const {
  return IsCreated() ? impl_->frame->windowTitle().toStdString() : std::string();
}

void Window::SetFocus() {
  if (IsCreated() && impl_->canvas) {
    impl_->frame->activateWindow();
    impl_->canvas->setFocus(Qt::OtherFocusReason);
  }
}

void Window::SetCloseDecidedByProgram(bool decided) {
  impl_->closeDecidedByProgram = decided;
}

void Window::SetScrollRanges(int hMax, int vMax, int hPage, int vPage) {
  const int maxima[2] = {hMax, vMax};
  const int pages[2] = {hPage, vPage};
  for (int bar = 0; bar < 2; ++bar) {
    impl_->scrollMax[bar] = std::max(0, maxima[bar]);
    impl_->scrollPage[bar] = std::max(0, pages[bar]);
    impl_->scrollPos[bar] = 0;
    if (QScrollBar* scroll = impl_->bars[bar]) {
      const QSignalBlocker blocker(scroll);
      const int top = std::max(0, impl_->scrollMax[bar] - std::max(impl_->scrollPage[bar] - 1, 0));
      scroll->setRange(0, top);
      scroll->setPageStep(std::max(1, impl_->scrollPage[bar]));
      scroll->setSingleStep(std::max(1, impl_->scrollPage[bar] / 8));
      scroll->setValue(0);
      scroll->setEnabled(top > 0);
      scroll->show();
    }
  }
}

void Window::ScrollStep(uint32_t barMessage, uintptr_t wParam, int lineStep) {
  const int bar = barMessage == kWmHScroll ? 0 : 1;
  const Rect client = ClientRect();
  const int pageStep = bar == 0 ? RectWidth(client) : RectHeight(client);
  const int top = std::max(0, impl_->scrollMax[bar] - std::max(impl_->scrollPage[bar] - 1, 0));
  int position = impl_->scrollPos[bar];
  switch (LowWord(wParam)) {
    case kSbLineUp:
      position -= lineStep;
      break;
    case kSbLineDown:
      position += lineStep;
      break;
    case kSbPageUp:
      position -= pageStep;
      break;
    case kSbPageDown:
      position += pageStep;
      break;
    case kSbThumbPosition:
    case kSbThumbTrack:
      position = ScrollThumb(wParam);
      break;
    case kSbTop:
      position = 0;
      break;
    case kSbBottom:
      position = top;
      break;
    default:
      return;
  }
  impl_->scrollPos[bar] = std::clamp(position, 0, top);
  if (QScrollBar* scroll = impl_->bars[bar]) {
    const QSignalBlocker blocker(scroll);
    scroll->setValue(impl_->scrollPos[bar]);
  }
  Repaint();
}

Point Window::ScrollPosition() const {
  return Point{impl_->scrollPos[0], impl_->scrollPos[1]};
}

Rect Window::ClientRect() const {
  if (!IsCreated() || !impl_->canvas) {
    return Rect{};
  }
  return Rect{0, 0, impl_->canvas->width(), impl_->canvas->height()};
}

Rect Window::WindowRect() const {
  if (!IsCreated()) {
    return Rect{};
  }
  const QWidget* frame = impl_->frame;
  const QRect outer = frame->isWindow() ? frame->frameGeometry() : frame->geometry();
  return Rect{outer.left(), outer.top(), outer.left() + outer.width(),
              outer.top() + outer.height()};
}

uint32_t Window::PixelAt(int x, int y) const {
  const QImage& image = impl_->target.image;
  if (!image.valid(x, y)) {
    return 0;
  }
  const QRgb pixel = image.pixel(x, y);
  return Rgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

void Window::Repaint() {
  if (!IsCreated()) {
    return;
  }
  DrawingScope scope(*this);
  Paint();
}

void Window::Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HandleMessage(message, wParam, lParam);
  if (!IsCreated()) {
    return;
  }
  // The default processing.
  switch (message) {
    case kWmClose:
      if (!impl_->closeDecidedByProgram) {
        DestroyPlatformWindow();
      }
      break;
    case kWmSize:
      Repaint();
      break;
    default:
      break;
  }
}

// --- drawing scope ------------------------------------------------------------

DrawingScope::DrawingScope(Window& window) : previous_(g_current), impl_(window.impl()) {
  if (window.IsCreated()) {
    impl_->target.Begin();
    g_current = &impl_->target;
  } else {
    impl_ = nullptr;
  }
}

DrawingScope::~DrawingScope() {
  if (impl_ != nullptr) {
    impl_->target.End();
  }
  g_current = static_cast<DrawingTarget*>(previous_);
}

// --- access for platform code and tests -------------------------------------------

QWidget* CanvasOf(const Window& window) {
  return window.impl()->canvas;
}
QWidget* FrameOf(const Window& window) {
  return window.impl()->frame;
}
const QImage& BackingImageOf(const Window& window) {
  return window.impl()->target.image;
}

}  // namespace vantoril

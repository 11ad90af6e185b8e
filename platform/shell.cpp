#include "platform/shell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenuBar>
#include <QStyle>
#include <QUrl>
#include <chrono>
#include <thread>

#include "platform/message_queue.h"

namespace vantoril {

bool OpenDocument(std::string_view pathOrUrl) {
  const QString text =
      QString::fromUtf8(pathOrUrl.data(), static_cast<qsizetype>(pathOrUrl.size()));
  const QUrl url = QFileInfo(text).isAbsolute() ? QUrl::fromLocalFile(text) : QUrl(text);
  return url.isValid() && QDesktopServices::openUrl(url);
}

void Beep() {
  if (QApplication::instance() != nullptr) {
    QApplication::beep();
  }
}

int64_t PerformanceCounter() {
  return std::chrono::steady_clock::now().time_since_epoch().count();
}

int64_t PerformanceFrequency() {
  using Period = std::chrono::steady_clock::period;
  return Period::den / Period::num;
}

void SleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int GetSystemMetric(SystemMetric metric) {
  QStyle* style = QApplication::instance() != nullptr ? QApplication::style() : nullptr;
  switch (metric) {
    case SystemMetric::kMenuHeight: {
      if (style == nullptr) return 20;
      QMenuBar bar;
      return bar.sizeHint().height();
    }
    case SystemMetric::kCaptionHeight:
      return style != nullptr ? style->pixelMetric(QStyle::PM_TitleBarHeight) : 20;
    case SystemMetric::kHScrollArrowWidth:
      return style != nullptr ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
  }
  return 0;
}

bool IsControlDown() {
  return (HeldKeys() & kMkControl) != 0;
}

}  // namespace vantoril

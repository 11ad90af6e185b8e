#include "platform/dropped_files.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QObject>
#include <QUrl>
#include <QWidget>
#include <deque>
#include <map>
#include <utility>

#include "platform/message_queue.h"
#include "platform/window_impl.h"

namespace vantoril {
namespace {

std::map<WindowHandle, std::deque<std::vector<std::string>>>& Drops() {
  static std::map<WindowHandle, std::deque<std::vector<std::string>>> drops;
  return drops;
}

std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
  }
  return files;
}

// Turns the canvas's drag and drop events into the program's message.
class DropFilter final : public QObject {
 public:
  DropFilter(QObject* parent, WindowHandle target) : QObject(parent), target_(target) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter: {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (!LocalFiles(enter->mimeData()).empty()) enter->acceptProposedAction();
        return true;
      }
      case QEvent::DragMove:
        static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
        return true;
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        std::vector<std::string> files = LocalFiles(drop->mimeData());
        if (files.empty()) return true;
        drop->acceptProposedAction();
        Drops()[target_].push_back(std::move(files));
        PostMessage(target_, kWmDropFiles, 0, 0);
        return true;
      }
      default:
        return QObject::eventFilter(watched, event);
    }
  }

 private:
  WindowHandle target_;
};

}  // namespace

void AcceptDroppedFiles(const Window& window, WindowHandle target) {
  QWidget* canvas = CanvasOf(window);
  if (canvas == nullptr) return;
  canvas->setAcceptDrops(true);
  canvas->installEventFilter(new DropFilter(canvas, target));  // owned by the canvas
}

std::vector<std::string> TakeDroppedFiles(WindowHandle target) {
  auto found = Drops().find(target);
  if (found == Drops().end() || found->second.empty()) return {};
  std::vector<std::string> files = std::move(found->second.front());
  found->second.pop_front();
  return files;
}

}  // namespace vantoril

#include "platform/dropped_files.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QObject>
#include <QUrl>
#include <QWidget>
#include <map>
#include <utility>

#include "platform/commands_held.h"
#include "platform/message_queue.h"
#include "platform/window_impl.h"

namespace vantoril {
namespace {

// Each window's drops not yet taken, by the number their message carries.
std::map<WindowHandle, std::map<uintptr_t, std::vector<std::string>>>& Drops() {
  static std::map<WindowHandle, std::map<uintptr_t, std::vector<std::string>>> drops;
  return drops;
}

uintptr_t g_lastDrop = 0;

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
      // Refused while the program takes no commands: the drop would be lost.
      case QEvent::DragEnter: {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (!CommandsAreHeld() && !LocalFiles(enter->mimeData()).empty()) {
          enter->acceptProposedAction();
        }
        return true;
      }
      case QEvent::DragMove:
        if (!CommandsAreHeld()) static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
        return true;
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        std::vector<std::string> files = LocalFiles(drop->mimeData());
        if (files.empty() || CommandsAreHeld()) return true;
        drop->acceptProposedAction();
        Drops()[target_][++g_lastDrop] = std::move(files);
        PostMessage(target_, kWmDropFiles, g_lastDrop, 0);
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

std::vector<std::string> TakeDroppedFiles(WindowHandle target, uintptr_t drop) {
  auto found = Drops().find(target);
  if (found == Drops().end()) return {};
  std::map<uintptr_t, std::vector<std::string>>& waiting = found->second;
  const auto it = waiting.find(drop);
  std::vector<std::string> files;
  if (it != waiting.end()) files = std::move(it->second);
  // Drops before it whose message was lost are let go.
  waiting.erase(waiting.begin(), waiting.upper_bound(drop));
  return files;
}

}  // namespace vantoril

#include "platform/commands_held.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <vector>

namespace vantoril {
namespace {

int g_holds = 0;

}  // namespace

struct CommandsHeld::Impl {
  std::vector<QPointer<QMenuBar>> greyed;  // the bars this hold greyed
};

CommandsHeld::CommandsHeld() : impl_(std::make_unique<Impl>()) {
  ++g_holds;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    // Not menuBar(), which would give a frame without one a bar.
    auto* frame = qobject_cast<QMainWindow*>(top);
    auto* bar = frame != nullptr ? qobject_cast<QMenuBar*>(frame->menuWidget()) : nullptr;
    if (bar != nullptr && bar->isEnabled()) {
      bar->setEnabled(false);
      impl_->greyed.emplace_back(bar);
    }
  }
}

CommandsHeld::~CommandsHeld() {
  --g_holds;
  for (const QPointer<QMenuBar>& bar : impl_->greyed) {
    if (bar) bar->setEnabled(true);
  }
}

bool CommandsAreHeld() {
  return g_holds > 0;
}

}  // namespace vantoril

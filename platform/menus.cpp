#include "platform/menus.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <map>
#include <vector>

#include "platform/commands_held.h"
#include "platform/message_queue.h"
#include "platform/window.h"
#include "platform/window_impl.h"

namespace vantoril {

std::string MenuItemText(std::string_view text) {
  const size_t slash = text.find('/');
  if (slash == std::string_view::npos) {
    return std::string(text);
  }
  std::string shown(text.substr(0, slash));
  shown += "\tCtrl+";
  shown += text.substr(slash + 1);
  return shown;
}

namespace {

QString MenuString(std::string_view text) {
  // '&' would make a mnemonic; the program's texts mean the character.
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
      .replace(QLatin1Char('&'), QLatin1String("&&"));
}

// Esc closes a menu opened from the bar, and the toolkit then leaves the bar
// holding the keyboard (to walk its titles) until the next click: Ctrl+Z,
// Space and every other key of the program would be lost. The keyboard goes
// back to the widget that had it when the menu opened.
class EscapeGivesKeyboardBack : public QObject {
 public:
  EscapeGivesKeyboardBack(QMenuBar* bar, QMenu* menu) : QObject(menu), bar_(bar) {
    menu->installEventFilter(this);
    QObject::connect(menu, &QMenu::aboutToShow, this, [this] {
      QWidget* focus = QApplication::focusWidget();
      if (focus != nullptr && focus != bar_) previous_ = focus;
    });
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      // After the menu has handled the key and closed.
      QMetaObject::invokeMethod(
          this, [this] { GiveBack(); }, Qt::QueuedConnection);
    }
    return false;
  }

 private:
  void GiveBack() {
    if (bar_ && bar_->hasFocus()) {
      // Leaves the bar's keyboard mode as a second Esc would.
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(bar_, &escape);
    }
    if (previous_ && QApplication::activePopupWidget() == nullptr) {
      previous_->setFocus(Qt::PopupFocusReason);
    }
  }

  QPointer<QMenuBar> bar_;
  QPointer<QWidget> previous_;
};

}  // namespace

struct MenuBar::Impl {
  Window* owner = nullptr;
  QMenuBar* bar = nullptr;
  std::vector<QMenu*> menus;
  std::map<int, QAction*> items;
};

MenuBar::MenuBar(Window& owner) : impl_(std::make_unique<Impl>()) {
  impl_->owner = &owner;
  if (auto* frame = qobject_cast<QMainWindow*>(FrameOf(owner))) {
    impl_->bar = frame->menuBar();
    impl_->bar->setNativeMenuBar(false);
  }
}

MenuBar::~MenuBar() = default;

void MenuBar::AddSubmenu(std::string_view text, bool greyed) {
  if (impl_->bar == nullptr) {
    return;
  }
  QMenu* menu = impl_->bar->addMenu(MenuString(text));
  menu->setEnabled(!greyed);
  new EscapeGivesKeyboardBack(impl_->bar, menu);  // owned by the menu
  impl_->menus.push_back(menu);
}

void MenuBar::AddItem(int id, std::string_view text, uint32_t flags) {
  if (impl_->menus.empty()) {
    return;
  }
  QMenu* menu = impl_->menus.back();
  if (id == kMenuSeparator) {
    menu->addSeparator();
    return;
  }
  QAction* action = menu->addAction(MenuString(MenuItemText(text)));
  action->setShortcutContext(Qt::WidgetShortcut);  // the text shows the key; it binds nothing
  const WindowHandle owner = impl_->owner->Handle();
  QObject::connect(action, &QAction::triggered, action, [action, owner, id] {
    // Check marks change only when the program says so.
    const bool checked = (action->property("vantorilFlags").toUInt() & kMenuChecked) != 0;
    action->setChecked(checked);
    PostMessage(owner, kWmCommand, static_cast<uintptr_t>(id), 0);
  });
  impl_->items[id] = action;
  SetItemFlags(id, flags);
}

void MenuBar::SetItemFlags(int id, uint32_t flags) {
  const auto found = impl_->items.find(id);
  if (found == impl_->items.end()) {
    return;
  }
  QAction* action = found->second;
  // Only a checked item is checkable, so unchecked ones show no empty box.
  action->setCheckable((flags & kMenuChecked) != 0);
  action->setChecked((flags & kMenuChecked) != 0);
  action->setEnabled((flags & (kMenuGreyed | kMenuDisabled)) == 0);
  action->setProperty("vantorilFlags", flags);
}

void MenuBar::CheckItem(int id, bool checked) {
  uint32_t flags = ItemFlags(id) & ~kMenuChecked;
  SetItemFlags(id, flags | (checked ? kMenuChecked : 0));
}

uint32_t MenuBar::ItemFlags(int id) const {
  const auto found = impl_->items.find(id);
  return found == impl_->items.end() ? 0 : found->second->property("vantorilFlags").toUInt();
}

std::string MenuBar::ItemText(int id) const {
  const auto found = impl_->items.find(id);
  if (found == impl_->items.end()) {
    return {};
  }
  return found->second->text().replace(QLatin1String("&&"), QLatin1String("&")).toStdString();
}

int MenuBar::SubmenuCount() const {
  return static_cast<int>(impl_->menus.size());
}

std::string MenuBar::SubmenuText(int index) const {
  if (index < 0 || index >= SubmenuCount()) {
    return {};
  }
  return impl_->menus[static_cast<size_t>(index)]->title().toStdString();
}

bool MenuBar::ChooseItem(int id) {
  const auto found = impl_->items.find(id);
  if (found == impl_->items.end() || !found->second->isEnabled() || CommandsAreHeld()) {
    return false;
  }
  found->second->trigger();
  return true;
}

}  // namespace vantoril

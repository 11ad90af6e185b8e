#include "platform/menus.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>

#include "gui_support/qt_environment.h"
#include "platform/message_queue.h"
#include "platform/window.h"
#include "platform/window_impl.h"

namespace vantoril {
namespace {

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearMessageQueue();
    ASSERT_TRUE(window_.Create(nullptr, kStyleOverlapped));
    menu_.emplace(window_);
    menu_->AddSubmenu("File");
    menu_->AddItem(1020, "Load Picture/L");
    menu_->AddItem(kMenuSeparator, "");
    menu_->AddItem(1025, "NTSC", kMenuChecked);
    menu_->AddSubmenu("Edit");
    menu_->AddItem(9004, "Undo/Z", kMenuGreyed);
    menu_->AddItem(9010, "Salt & Pepper");
  }
  Window window_;
  std::optional<MenuBar> menu_;
};

// The menus' first states are pinned with the program's own menu.
TEST_F(MenuTest, ItemsKeepTheirTextsAndStatesAndOnlyEnabledOnesPostTheirCommand) {
  EXPECT_EQ(menu_->SubmenuText(1), "Edit");
  EXPECT_EQ(menu_->ItemText(9010), "Salt & Pepper");  // no mnemonic made of "&"
  EXPECT_EQ(MenuItemText("Enlarge Timeline/>"), "Enlarge Timeline\tCtrl+>");
  EXPECT_EQ(MenuItemText("Load Background"), "Load Background");
  menu_->CheckItem(1020, true);
  EXPECT_EQ(menu_->ItemFlags(1020), kMenuChecked);
  EXPECT_EQ(menu_->ItemText(1020), "Load Picture\tCtrl+L");
  // The shown key binds nothing: keys go through the program's own tables.
  auto* frame = qobject_cast<QMainWindow*>(FrameOf(window_));
  ASSERT_NE(frame, nullptr);
  for (QAction* action : frame->menuBar()->findChildren<QAction*>()) {
    EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
  }
  EXPECT_TRUE(menu_->ChooseItem(1025));
  EXPECT_FALSE(menu_->ChooseItem(9004));  // greyed
  EXPECT_FALSE(menu_->ChooseItem(4242));
  Message message;
  ASSERT_TRUE(PeekMessage(message));
  EXPECT_EQ(message.window, window_.Handle());
  EXPECT_EQ(message.message, kWmCommand);
  EXPECT_EQ(message.wParam, 1025u);
  EXPECT_FALSE(PeekMessage(message));
  EXPECT_EQ(menu_->ItemFlags(1025), kMenuChecked);  // only the program changes the mark
  menu_->SetItemFlags(9004, 0);
  EXPECT_TRUE(menu_->ChooseItem(9004));
}

// Not with the bar, after a menu opened with the mouse.
TEST_F(MenuTest, EscapeGivesTheKeyboardBackToTheWindowThatHadIt) {
  window_.Show(kShowNormal);
  window_.SetFocus();
  testing::ProcessEvents();
  QWidget* canvas = CanvasOf(window_);
  ASSERT_EQ(QApplication::focusWidget(), canvas);
  QMenuBar* bar = qobject_cast<QMainWindow*>(FrameOf(window_))->menuBar();
  const QPoint title = bar->actionGeometry(bar->actions().at(1)).center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent click(type, title, bar->mapToGlobal(title), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &click);
  }
  testing::ProcessEvents();
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(popup, &escape);
  for (int i = 0; i < 3; ++i) testing::ProcessEvents();
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(QApplication::focusWidget(), canvas);
}

}  // namespace
}  // namespace vantoril

#include "ui/dialogs/described_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>

#include "gui_support/qt_environment.h"
#include "platform/drawing.h"
#include "platform/message_queue.h"
#include "platform/window_impl.h"

namespace vantoril {
namespace {

constexpr int kX0 = 20;
constexpr int kY0 = 10;

class DescribedDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearMessageQueue();
    ASSERT_TRUE(host_.Create(nullptr, kStylePopup));
    ASSERT_TRUE(other_.Create(nullptr, kStylePopup));
    host_.Move(Rect{0, 0, 700, 400}, false);
    host_.Show(kShowNormal);
    testing::ProcessEvents();
    ClearMessageQueue();
    {
      DrawingScope scope(host_);
      SelectFont(GetInterfaceFont(InterfaceFont::k10));
      for (const std::string& d : descriptions_) width_ = std::max(width_, TextWidth(d));
    }
    values_ = {"Ann", "0", "1", "", "50", "/pictures/"};
  }

  int L() const { return kX0 + width_; }
  int RowY(int row) const { return kY0 + 36 + 20 * row + 10; }
  int Rows() const { return static_cast<int>(descriptions_.size()); }
  int ValueX() const { return L() + 40; }

  void Press(int x, int y, WindowHandle window = 0) {
    PostMessage(window ? window : host_.Handle(), kWmLButtonDown, kMkLButton, MakeLParam(x, y));
  }
  void Click(int x, int y) {
    Press(x, y);
    PostMessage(host_.Handle(), kWmLButtonUp, 0, MakeLParam(x, y));
  }
  void ClickOk() { Click(kX0 + 5, RowY(Rows())); }
  int Run() { return RunDescribedDialog(host_, kX0, kY0, descriptions_, values_, "Options"); }

  // Acts on the in-place edit once the dialog has opened it.
  void WhenEditOpens(std::function<void(QLineEdit*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [this, timer, act] {
      auto* edit = CanvasOf(host_)->findChild<QLineEdit*>(QStringLiteral("inPlaceEdit"));
      if (edit == nullptr) return;
      timer->stop();
      timer->deleteLater();
      act(edit);
    });
    timer->start();
  }

  Window host_;
  Window other_;
  std::array<std::string, 6> descriptions_ = {
      "Name", "@CFlop Field Order", "@RSpeed|Slow", "@RFast", "@SLevel", "@FAlternative Folder"};
  std::array<std::string, 6> values_;
  int width_ = 0;
};

TEST_F(DescribedDialogTest, OkRowEnterConfirmEverythingElseCancels) {
  ClickOk();  // left of the value column, still the OK row
  EXPECT_EQ(Run(), 1);
  PostMessage(host_.Handle(), kWmKeyDown, 13, 0);
  EXPECT_EQ(Run(), 1);
  PostMessage(host_.Handle(), kWmChar, 27, 0);
  EXPECT_EQ(Run(), 0);
  Click(L() + 60, RowY(Rows() + 1));
  EXPECT_EQ(Run(), 0);
  Click(kX0 + 3, kY0 + 78 + 20 * Rows() - 1);  // inside the dialog, below Cancel
  EXPECT_EQ(Run(), 0);
  Press(kX0 + 2 * width_ + 20, RowY(0));  // right of the dialog
  EXPECT_EQ(Run(), 0);
  Press(ValueX(), kY0 - 30);  // above it
  EXPECT_EQ(Run(), 0);
  Press(10, 10, other_.Handle());  // in another window
  EXPECT_EQ(Run(), 0);
}

TEST_F(DescribedDialogTest, CheckBoxesToggleAndRadiosAreOneGroup) {
  Click(ValueX(), kY0 + 20);  // the title area is no row, not even row 0
  Click(ValueX(), kY0 + 35);
  Click(ValueX(), RowY(1));  // "0" counts as checked: clicking empties it
  Click(ValueX(), RowY(3));  // the other radio, under no caption
  ClickOk();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(values_[0], "Ann");
  EXPECT_EQ(values_[1], "");
  EXPECT_EQ(values_[2], "");
  EXPECT_EQ(values_[3], "1");

  Click(ValueX(), RowY(1));
  Click(ValueX(), RowY(2));
  Click(L() + 5, RowY(1));  // left of the value column: ignored
  ClickOk();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(values_[1], "1");
  EXPECT_EQ(values_[2], "1");
  EXPECT_EQ(values_[3], "");

  // The painted box shows its cross.
  const int boxLeft = L() + 16, boxTop = kY0 + 52 + 20 - 14;
  EXPECT_EQ(host_.PixelAt(boxLeft, boxTop), kBlack);
  EXPECT_EQ(host_.PixelAt(boxLeft + 2, boxTop + 2), kBlack);
  EXPECT_EQ(host_.PixelAt(boxLeft + 1, boxTop + 2), kWhite);
}

TEST_F(DescribedDialogTest, SliderValuesAtBothEndsAndWhileDragging) {
  const int y = RowY(4);
  Click(L() + 16, y);
  ClickOk();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(values_[4], "0");

  Press(L() + 20, y);
  PostMessage(host_.Handle(), kWmMouseMove, kMkLButton, MakeLParam(L() + 16 + (width_ - 34), y));
  PostMessage(host_.Handle(), kWmLButtonUp, 0, MakeLParam(L() + 16 + (width_ - 34), y));
  ClickOk();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(values_[4], "100");

  Press(L() + 20, y);
  PostMessage(host_.Handle(), kWmMouseMove, kMkLButton, MakeLParam(L() + 900, y));
  PostMessage(host_.Handle(), kWmMouseMove, kMkLButton,
              MakeLParam(L() + 16 + (width_ - 34) / 2, y));
  PostMessage(host_.Handle(), kWmLButtonUp, 0, MakeLParam(0, 0));
  // Moves after the release drag nothing.
  PostMessage(host_.Handle(), kWmMouseMove, 0, MakeLParam(L() + 16, y));
  ClickOk();
  EXPECT_EQ(Run(), 1);
  EXPECT_NEAR(std::stoi(values_[4]), 50, 2);
}

TEST_F(DescribedDialogTest, AnInPlaceEditKeepsEnterAndEscapeAndCommitsItsText) {
  Click(ValueX(), RowY(0));
  WhenEditOpens([this](QLineEdit* edit) {
    EXPECT_EQ(edit->text(), "Ann");
    EXPECT_EQ(edit->selectedText(), "Ann");
    QTest::keyClick(edit, Qt::Key_Return);  // stays in the edit
    QTest::keyClick(edit, Qt::Key_Escape);
    edit->setText("Bob");
    ClickOk();  // commits, then confirms
  });
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(values_[0], "Bob");
  EXPECT_EQ(CanvasOf(host_)->findChild<QLineEdit*>(), nullptr);  // gone

  Click(ValueX(), RowY(0));
  WhenEditOpens([this](QLineEdit* edit) {
    edit->setText(QString(80, QLatin1Char('x')));
    Click(ValueX(), RowY(1));  // the next press commits
    PostMessage(host_.Handle(), kWmKeyDown, 27, 0);
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(values_[0], std::string(kDialogValueCapacity, 'x'));
  EXPECT_EQ(values_[1], "");
}

TEST_F(DescribedDialogTest, AQuitRequestEndsTheDialogAndStillReachesTheProgram) {
  PostQuitMessage(5);
  EXPECT_EQ(Run(), 0);
  Message message;
  EXPECT_FALSE(GetMessage(message));
  EXPECT_EQ(message.wParam, 5u);
}

TEST_F(DescribedDialogTest, TheFolderChooserStoresTheChosenFilesFolder) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "vantoril-folder-chooser";
  fs::create_directories(folder);
  std::ofstream(folder / "a.bmp") << "x";
  DescribedDialogFolder().SetPath((folder / "a.bmp").string());
  Click(ValueX(), RowY(5));
  testing::WhenModal([](QWidget* modal) {
    modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("a.bmp");
    QMetaObject::invokeMethod(modal, "accept");
  });
  PostMessage(host_.Handle(), kWmKeyDown, 13, 0);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(values_[5], folder.string() + "/");
  EXPECT_EQ(DescribedDialogFolder().Path(), (folder / "a.bmp").string());
  fs::remove_all(folder);
}

}  // namespace
}  // namespace vantoril

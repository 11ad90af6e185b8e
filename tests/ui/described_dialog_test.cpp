#include "ui/dialogs/described_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "gui_support/qt_environment.h"
#include "platform/drawing.h"
#include "platform/message_queue.h"
#include "platform/window_impl.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

constexpr int kX0 = 20, kY0 = 10;

class DescribedDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other_.Create(nullptr, kStylePopup));
    ASSERT_TRUE(testing::ShowWindow(host_, 700, 400));
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

  void Post(uint32_t message, int x, int y) { testing::PostMouse(host_.Handle(), message, x, y); }
  void Press(int x, int y) { Post(kWmLButtonDown, x, y); }
  void Click(int x, int y) { testing::PostClick(host_.Handle(), x, y); }
  void ClickOk() { Click(kX0 + 5, RowY(Rows())); }
  int Run() { return RunDescribedDialog(host_, kX0, kY0, descriptions_, values_, "Options"); }
  // Runs the dialog after `act` and confirms it; the values the dialog left.
  std::array<std::string, 6> ConfirmedAfter(const std::function<void()>& act) {
    act();
    ClickOk();
    EXPECT_EQ(Run(), 1);
    return values_;
  }

  // Acts on the in-place edit once the dialog has opened it.
  void WhenEditOpens(std::function<void(QLineEdit*)> act) {
    testing::WhenFound(
        [this] { return CanvasOf(host_)->findChild<QLineEdit*>(QStringLiteral("inPlaceEdit")); },
        [act](QWidget* edit) { act(static_cast<QLineEdit*>(edit)); });
  }

  Window host_, other_;
  std::array<std::string, 6> descriptions_ = {
      "Name", "@CFlop Field Order", "@RSpeed|Slow", "@RFast", "@SLevel", "@FAlternative Folder"};
  std::array<std::string, 6> values_;
  int width_ = 0;
};

TEST_F(DescribedDialogTest, OkRowEnterConfirmEverythingElseAndAQuitRequestCancel) {
  const std::pair<std::function<void()>, int> cases[] = {
      {[&] { ClickOk(); }, 1},  // left of the value column, still the OK row
      {[&] { PostMessage(host_.Handle(), kWmKeyDown, 13, 0); }, 1},
      {[&] { PostMessage(host_.Handle(), kWmChar, 27, 0); }, 0},
      {[&] { Click(L() + 60, RowY(Rows() + 1)); }, 0},
      {[&] { Click(kX0 + 3, kY0 + 78 + 20 * Rows() - 1); }, 0},  // inside, below Cancel
      {[&] { Press(kX0 + 2 * width_ + 20, RowY(0)); }, 0},       // right of the dialog
      {[&] { Press(ValueX(), kY0 - 30); }, 0},                   // above it
      {[&] { testing::PostMouse(other_.Handle(), kWmLButtonDown, 10, 10); }, 0},
      {[&] { PostQuitMessage(5); }, 0}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    cases[i].first();
    EXPECT_EQ(Run(), cases[i].second) << i;
  }
  Message message;  // the quit request still reaches the program
  EXPECT_FALSE(GetMessage(message));
  EXPECT_EQ(message.wParam, 5u);
  // A close request cancels too, and waits for the program's loop.
  PostMessage(other_.Handle(), kWmClose, 0, 0);
  EXPECT_EQ(Run(), 0);
  ASSERT_TRUE(PeekMessage(message));
  EXPECT_EQ(message.message, kWmClose);
  EXPECT_EQ(message.window, other_.Handle());
}

TEST_F(DescribedDialogTest, CheckBoxesToggleAndRadiosAreOneGroup) {
  // The title area is no row, not even row 0; "0" counts as checked, so clicking empties it;
  // the other radio stands under no caption.
  auto values = ConfirmedAfter([&] {
    for (int y : {kY0 + 20, kY0 + 35, RowY(1), RowY(3)}) Click(ValueX(), y);
  });
  EXPECT_EQ(values, (std::array<std::string, 6>{"Ann", "", "", "1", "50", "/pictures/"}));
  values = ConfirmedAfter([&] {
    Click(ValueX(), RowY(1));
    Click(ValueX(), RowY(2));
    Click(L() + 5, RowY(1));  // left of the value column: ignored
  });
  EXPECT_EQ(values, (std::array<std::string, 6>{"Ann", "1", "1", "", "50", "/pictures/"}));
  // The painted box shows its cross.
  const int boxLeft = L() + 16, boxTop = kY0 + 52 + 20 - 14;
  EXPECT_EQ(host_.PixelAt(boxLeft, boxTop), kBlack);
  EXPECT_EQ(host_.PixelAt(boxLeft + 2, boxTop + 2), kBlack);
  EXPECT_EQ(host_.PixelAt(boxLeft + 1, boxTop + 2), kWhite);
}

TEST_F(DescribedDialogTest, SliderValuesAtBothEndsAndWhileDragging) {
  const int y = RowY(4), end = L() + 16 + (width_ - 34);
  EXPECT_EQ(ConfirmedAfter([&] { Click(L() + 16, y); })[4], "0");
  EXPECT_EQ(ConfirmedAfter([&] {
              Press(L() + 20, y);
              Post(kWmMouseMove, end, y);
              Post(kWmLButtonUp, end, y);
            })[4],
            "100");
  // Moves after the release drag nothing.
  const auto values = ConfirmedAfter([&] {
    Press(L() + 20, y);
    Post(kWmMouseMove, L() + 900, y);
    Post(kWmMouseMove, L() + 16 + (width_ - 34) / 2, y);
    Post(kWmLButtonUp, 0, 0);
    PostMessage(host_.Handle(), kWmMouseMove, 0, MakeLParam(L() + 16, y));
  });
  EXPECT_NEAR(std::stoi(values[4]), 50, 2);
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

TEST_F(DescribedDialogTest, TheFolderChooserStoresTheChosenFilesFolder) {
  const std::filesystem::path folder = test::FreshFolder("folder-chooser");
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
}

}  // namespace
}  // namespace vantoril

#include <gtest/gtest.h>

#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "gui_support/qt_environment.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;

constexpr char kShows[] = "Vantoril Files (*.vsh)|*.vsh|";
constexpr char kAll[] = "All Files (*.*)|*.*|";

fs::path Folder(const std::string& name, std::initializer_list<const char*> files = {}) {
  const fs::path folder = test::FreshFolder("dialogs/" + name);
  for (const char* file : files) std::ofstream(folder / file) << "x";
  return folder;
}

void OnBox(std::function<void(QMessageBox*)> act) {
  testing::WhenModal([act](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    act(box);
  });
}

// Fills the file name box and accepts, as a user typing the name would;
// `box` answers a message box that follows.
void AnswerFileDialog(const std::string& name, std::function<void(QMessageBox*)> box = {}) {
  testing::WhenModal([name, box](QWidget* modal) {
    auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(qobject_cast<QFileDialog*>(modal) && edit);
    edit->setText(QString::fromStdString(name));
    if (box) {
      testing::WhenModal([box](QWidget* question) {
        if (auto* message = qobject_cast<QMessageBox*>(question)) box(message);
      });
    }
    QMetaObject::invokeMethod(modal, "accept");
  });
}

TEST(FileFilters, PartsBetweenBarsBecomeTheDialogsFilters) {
  // "*.*" is every file; other patterns match either case.
  EXPECT_EQ(DialogNameFilters(kAll), (std::vector<std::string>{"All Files (*.*) (*)"}));
  EXPECT_EQ(DialogNameFilters("All Graphics Files|*.bmp;*.tga;*.jpg|BMP Files (*.bmp)|*.bmp|"),
            (std::vector<std::string>{"All Graphics Files (*.bmp *.BMP *.tga *.TGA *.jpg *.JPG)",
                                      "BMP Files (*.bmp) (*.bmp *.BMP)"}));
  EXPECT_TRUE(DialogNameFilters("").empty());
}

// A single chosen file is pinned with the program's own Load commands.
TEST(FileDialogs, OpenGivesTheChosenFilesOrKeepsTheReferenceWhenCancelled) {
  const fs::path folder = Folder("open", {"a.bmp", "b.bmp"});
  std::vector<FileSpec> chosen;
  AnswerFileDialog("\"a.bmp\" \"b.bmp\"");
  ASSERT_TRUE(OpenFilesDialog(nullptr, chosen, kAll, ".bmp", folder.string()));
  ASSERT_EQ(chosen.size(), 2u);
  EXPECT_EQ(chosen[0].Path(), (folder / "a.bmp").string());
  EXPECT_EQ(chosen[1].Path(), (folder / "b.bmp").string());
  EXPECT_EQ(chosen[1].volumeRef, 0);
  EXPECT_EQ(chosen[1].parentId, 0);
  testing::WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  const FileSpec before = chosen[0];
  EXPECT_FALSE(OpenFileDialog(nullptr, chosen[0], kAll, ".bmp", folder.string()));
  EXPECT_EQ(chosen[0], before);
}

TEST(FileDialogs, SaveAddsTheDefaultExtensionAndAsksBeforeOverwriting) {
  const fs::path folder = Folder("save", {"old.vsh"});
  FileSpec fileRef;
  fileRef.SetPath((folder / "ignored/").string());  // a trailing separator is dropped
  AnswerFileDialog("new show");
  ASSERT_TRUE(SaveFileDialog(nullptr, fileRef, kShows, ".vsh", folder.string()));
  EXPECT_EQ(fileRef.Path(), (folder / "new show.vsh").string());

  bool asked = false;
  AnswerFileDialog("old.vsh", [&asked](QMessageBox* box) {
    asked = true;
    box->button(QMessageBox::Yes)->click();
  });
  ASSERT_TRUE(SaveFileDialog(nullptr, fileRef, kShows, ".vsh", folder.string()));
  EXPECT_TRUE(asked);
  EXPECT_EQ(fileRef.Path(), (folder / "old.vsh").string());
}

TEST(FileDialogs, APathLongerThanAFileReferenceIsRefusedWithAMessage) {
  fs::path folder = Folder("long");
  while (folder.string().size() < 250) folder /= "a-rather-long-folder-name";
  fs::create_directories(folder);
  const std::string name = "picture-with-a-long-name.bmp";
  std::ofstream(folder / name) << "x";
  ASSERT_GT((folder / name).string().size(), 255u);
  std::string shown;
  AnswerFileDialog(name, [&shown](QMessageBox* box) {
    shown = box->text().toStdString();
    box->accept();
  });
  FileSpec fileRef;
  fileRef.SetPath("/kept");
  EXPECT_FALSE(OpenFileDialog(nullptr, fileRef, kAll, ".bmp", folder.string()));
  EXPECT_EQ(shown, kPathTooLongMessage);
  EXPECT_EQ(fileRef.Path(), "/kept");
}

TEST(MessageBoxes, ErrorTextCarriesItsCodeUnlessThereIsNone) {
  EXPECT_EQ(ErrorBoxText("Can't open graphics file", MessageSink::kNoCode),
            "Can't open graphics file");
  EXPECT_EQ(ErrorBoxText("Unable to create movie", -43), "Unable to create movie  [ -43 ]");
  std::string text, title = "?";
  bool topMost = false;
  OnBox([&](QMessageBox* box) {
    text = box->text().toStdString();
    title = box->windowTitle().toStdString();
    topMost = (box->windowFlags() & Qt::WindowStaysOnTopHint) != 0;
    box->accept();
  });
  MessageBoxSink().ShowMessage("Not enough memory", 12);
  EXPECT_EQ(text, "Not enough memory  [ 12 ]");
  EXPECT_EQ(title, "");
  EXPECT_TRUE(topMost);
}

TEST(MessageBoxes, QuestionsGiveTheirAnswers) {
  // No button: Escape cancels.
  for (const auto& [button, answer] :
       {std::pair(QMessageBox::Yes, 1), std::pair(QMessageBox::No, 0),
        std::pair(QMessageBox::Cancel, -1), std::pair(QMessageBox::NoButton, -1)}) {
    OnBox([button](QMessageBox* box) {
      if (button == QMessageBox::NoButton) {
        QTest::keyClick(box, Qt::Key_Escape);
      } else {
        box->button(button)->click();
      }
    });
    EXPECT_EQ(AskYesNoCancel("Do you want to save current show?", "New Show"), answer) << button;
  }
  // The title fits the window, with room for the title bar's icon and buttons.
  std::string title;
  int width = 0;
  OnBox([&title, &width](QMessageBox* box) {
    title = box->windowTitle().toStdString();
    width = box->width();
    box->button(QMessageBox::Yes)->click();
  });
  EXPECT_TRUE(AskYesNo("Are you sure?", "Delete Picture"));
  EXPECT_EQ(title, "Delete Picture");
  EXPECT_GE(width, TitleBarWidth("Delete Picture"));
  EXPECT_GT(TitleBarWidth("Delete Picture"), TitleBarWidth("Delete"));
  OnBox([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_FALSE(AskYesNo("Are you sure?", "Delete Picture"));
}

// Types into the prompt's edit, then presses `key` (Enter or Escape) or OK.
bool Prompt(std::string& text, const QString& typed, int key) {
  testing::WhenModal([typed, key](QWidget* modal) {
    auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("promptEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(typed);
    if (key == 0) {
      for (QPushButton* button : modal->findChildren<QPushButton*>()) button->click();
    } else {
      QTest::keyClick(edit, static_cast<Qt::Key>(key));
    }
  });
  return PromptForText(text, "Timecode", "Type Timecode", "");
}

TEST(TextPrompt, OkAndEnterConfirmEscapeCancels) {
  std::string text = "00:00:01:00";
  EXPECT_TRUE(Prompt(text, "00:00:02:00", 0));
  EXPECT_EQ(text, "00:00:02:00");
  EXPECT_TRUE(Prompt(text, "+10", Qt::Key_Return));
  EXPECT_EQ(text, "+10");
  EXPECT_FALSE(Prompt(text, "typed but abandoned", Qt::Key_Escape));
  EXPECT_EQ(text, "+10");
  std::string longText;
  EXPECT_TRUE(Prompt(longText, QString(100, QLatin1Char('9')), Qt::Key_Enter));
  EXPECT_EQ(longText.size(), 79u);
}

}  // namespace
}  // namespace vantoril

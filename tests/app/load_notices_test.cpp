#include "app/load_notices.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/support/app_harness.h"
#include "gui_support/qt_environment.h"
#include "platform/message_queue.h"
#include "support/test_files.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;
using testing::AnswerFileDialog;
using testing::AppHarness;

// Records the texts of the next `count` message boxes and accepts each.
void AnswerMessageBoxes(std::vector<std::string>* texts, int count) {
  if (count == 0) return;
  testing::WhenModal([texts, count](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    texts->push_back(box->text().toStdString());
    AnswerMessageBoxes(texts, count - 1);
    box->accept();
  });
}

// The example show, copied to `folder` and cut by `cutBytes`; its pictures
// are found when `withPictures`.
fs::path CopyOfExample(const fs::path& folder, size_t cutBytes, bool withPictures) {
  std::string bytes = test::ReadText(testing::ExamplesFolder() / "example.vsh");
  bytes.resize(bytes.size() - cutBytes);
  const fs::path show = folder / "copy.vsh";
  std::ofstream(show, std::ios::binary) << bytes;
  if (withPictures)
    fs::create_directory_symlink(fs::absolute(testing::ExamplesFolder() / "pictures"),
                                 folder / "pictures");
  return show;
}

TEST(LoadNotices, AShowWithMissingPicturesNamesThemOnce) {
  AppHarness app;
  const fs::path folder = testing::FreshTestFolder("missing-pictures");
  const fs::path show = CopyOfExample(folder, 0, false);
  std::vector<std::string> texts;
  AnswerFileDialog(show.string(), [&texts] { AnswerMessageBoxes(&texts, 1); });
  app.Main().RunCommand(cmd::kLoadShow);
  ASSERT_EQ(texts.size(), 1u);
  // The four pictures and the background.
  EXPECT_EQ(texts[0].rfind("5 pictures could not be read:\n", 0), 0u) << texts[0];
  for (const char* name : {"pictures/star.tga", "pictures/sky.bmp"}) {
    EXPECT_NE(texts[0].find("\n" + (folder / name).string() + " (no such file)\n"),
              std::string::npos)
        << texts[0];
  }
  EXPECT_NE(texts[0].find("Each is shown as a placeholder."), std::string::npos);
  EXPECT_EQ(app.Doc().pictureCount, 4);
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril - copy");
  EXPECT_EQ(QueuedMessageCount(), 0u);
}

TEST(LoadNotices, ADamagedShowSaysSoAndSavesThroughTheDialog) {
  AppHarness app;
  const fs::path folder = testing::FreshTestFolder("damaged-show");
  const fs::path show = CopyOfExample(folder, 100, true);
  std::vector<std::string> texts;
  AnswerFileDialog(show.string(), [&texts] { AnswerMessageBoxes(&texts, 1); });
  app.Main().RunCommand(cmd::kLoadShow);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind("This show file is damaged: it is cut short (", 0), 0u) << texts[0];
  EXPECT_GT(app.Doc().pictureCount, 0);
  EXPECT_TRUE(app.Doc().Modified());
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril");

  std::string proposed;
  testing::WhenModal([&proposed](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    proposed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text().toStdString();
    dialog->reject();
  });
  testing::TypeCharacter(app.Main().Handle(), 19);  // Ctrl+S
  EXPECT_EQ(proposed, "copy.vsh");
  EXPECT_EQ(fs::file_size(show), fs::file_size(testing::ExamplesFolder() / "example.vsh") - 100);
}

TEST(LoadNotices, PictureCommandsNameTheFilesTheyCouldNotRead) {
  AppHarness app;
  const fs::path folder = testing::FreshTestFolder("bad-picture");
  const std::string bad = (folder / "bad.bmp").string();
  std::ofstream(bad, std::ios::binary) << "BM12";
  const std::string expected = "1 picture could not be read:\n" + bad + " (damaged)";

  std::vector<std::string> texts;
  AnswerFileDialog(bad, [&texts] { AnswerMessageBoxes(&texts, 1); });
  app.Main().RunCommand(cmd::kLoadPicture);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], expected + "\nIt is shown as a placeholder.");
  EXPECT_EQ(app.Doc().pictureCount, 1);

  // A picture that is read: no message (none is answered).
  AnswerFileDialog(fs::absolute(testing::ExamplesFolder() / "pictures" / "sun.bmp").string());
  app.Main().RunCommand(cmd::kLoadPicture);
  texts.clear();
  AnswerFileDialog(bad, [&texts] { AnswerMessageBoxes(&texts, 1); });
  app.Main().RunCommand(cmd::kChangePicture);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(app.Doc().PictureAt(0).file.Path(), bad);

  // The reload with picture errors on: the reader's own message per picture
  // (its fixed text, then the path), then the list.
  texts.clear();
  PostMessage(app.GetStage().Handle(), kWmKeyDown, 13, 0);  // OK in the options
  app.Doc().showPictureErrors = 1;
  app.settings.PutSettingInt("ShowPicError", 1);
  AnswerMessageBoxes(&texts, 3);
  app.Main().RunCommand(cmd::kAdvancedOptions);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Can't read image file  [ 3 ]\n" + bad);
  EXPECT_EQ(texts[2].rfind("2 pictures could not be read:\n", 0), 0u) << texts[2];
  EXPECT_EQ(texts[2].find("placeholder"), std::string::npos);
  EXPECT_EQ(QueuedMessageCount(), 0u);
}

}  // namespace
}  // namespace vantoril

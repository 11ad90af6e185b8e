#include "app/make_movie_command.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/main_window.h"
#include "app/support/app_harness.h"
#include "engine/image_buffer.h"
#include "gui_support/qt_environment.h"
#include "media/clip_reader.h"
#include "platform/message_queue.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;
using testing::AnswerFileDialog;
using testing::AnswerMessageBox;
using testing::AppHarness;

class MakeMovieInTheWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    app.LoadPicture("sun.bmp");
    app.Doc().GoToTime(10, false);
    app.State(0).x += 40;
    app.Doc().SetKeyAtCurrentTime();  // the show ends at frame 10
    app.settings.PutSetting("MovieWid", "64");
    app.settings.PutSetting("MovieHgt", "48");
    app.settings.PutSetting("MovieFields", "");
    app.settings.PutSetting("MovieHold", "00:00:00");
  }
  // OK in the options dialog and, when asked, in the compression dialog.
  void ConfirmDialogs(int count) {
    for (int i = 0; i < count; ++i) PostMessage(app.GetStage().Handle(), kWmKeyDown, 13, 0);
  }
  // Records the next message box's text and icon, and accepts it.
  void RecordBox(std::string* text, QMessageBox::Icon* icon) {
    testing::WhenModal([text, icon](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      *text = box->text().toStdString();
      *icon = box->icon();
      box->accept();
    });
  }
  // Makes the movie with 2 s holds; its render loop finds `message` for
  // `window` after the first frame and its two head copies (one message is
  // read before each). Gives the closing box's text and icon.
  std::string MakeMovieStoppedBy(const fs::path& movie, WindowHandle window, uint32_t message,
                                 uintptr_t wParam, QMessageBox::Icon* icon) {
    app.settings.PutSetting("MovieHold", "00:00:02");
    ConfirmDialogs(2);
    for (int i = 0; i < 3; ++i) PostMessage(app.GetStage().Handle(), kWmMouseMove, 0, 0);
    PostMessage(window, message, wParam, 0);
    std::string shown;
    AnswerFileDialog(movie.string(), [&] { RecordBox(&shown, icon); });
    app.Main().RunCommand(cmd::kMakeMovie);
    return shown;
  }
  int FramesIn(const fs::path& movie) {
    FileSpec fileRef;
    EXPECT_TRUE(fileRef.SetPath(movie.string()));
    ClipReader reader(nullptr);
    ImageBuffer frame;
    if (!reader.OpenClip(fileRef, frame)) return -1;
    EXPECT_EQ(frame.Width(), 64);
    EXPECT_EQ(frame.Height(), 48);
    return reader.FrameCount();
  }
  AppHarness app;
};

// A stand-in must not slip into a movie unseen: Make Movie asks first, No
// being the default; Yes makes every frame of the movie, told with the
// information icon, and the options are remembered.
TEST_F(MakeMovieInTheWindow, PlaceholdersAreAskedAboutWithNoAsTheDefault) {
  const fs::path folder = testing::FreshTestFolder("make-movie-placeholder");
  const std::string bad = (folder / "bad.bmp").string();
  std::ofstream(bad, std::ios::binary) << "BM12";
  FileSpec fileRef;
  ASSERT_TRUE(fileRef.SetPath(bad));
  ASSERT_EQ(app.Doc().LoadPicture(fileRef, -1), 1);
  app.Doc().TakeUnreadablePictures();

  std::string question;
  bool noIsDefault = false;
  testing::WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    question = box->text().toStdString();
    noIsDefault =
        static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::No);
    box->button(QMessageBox::No)->click();
  });
  app.Main().RunCommand(cmd::kMakeMovie);
  EXPECT_EQ(question,
            "1 picture of this show could not be read and would render as a placeholder:\n" + bad +
                "\nMake the movie anyway?");
  EXPECT_TRUE(noIsDefault);
  EXPECT_EQ(app.settings.GetSettingInt("MovieType", -1), -1);  // nothing began

  const fs::path movie = folder / "anyway.avi";
  std::string made;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  ConfirmDialogs(2);
  testing::WhenModal([&](QWidget* modal) {
    AnswerFileDialog(movie.string(), [&] { RecordBox(&made, &icon); });
    qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
  });
  app.Main().RunCommand(cmd::kMakeMovie);
  EXPECT_EQ(made, "Movie file(s) successfully made");
  EXPECT_EQ(icon, QMessageBox::Information);
  EXPECT_EQ(FramesIn(movie), 10);
  EXPECT_EQ(app.settings.GetSettingInt("MovieType", -1), 0);
  EXPECT_EQ(app.settings.GetSetting("MovieWid", ""), "64");
  EXPECT_EQ(app.settings.GetSetting("CodecType", ""), "DIB ");
  EXPECT_EQ(app.settings.GetSetting("InitialFolder", ""), folder.string() + "/");
  EXPECT_EQ(QueuedMessageCount(), 0u);
}

// Esc at the second frame: the tail hold is still written and the file
// finished; the message says how far the movie got.
TEST_F(MakeMovieInTheWindow, EscStopsTheMovieAndSaysHowFarItGot) {
  const fs::path movie = testing::FreshTestFolder("make-movie-esc") / "stopped.avi";
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  EXPECT_EQ(MakeMovieStoppedBy(movie, app.GetStage().Handle(), kWmKeyDown, 27, &icon),
            "Movie stopped after 5 of 14 frames");
  EXPECT_EQ(icon, QMessageBox::Information);
  EXPECT_EQ(FramesIn(movie), 5);
}

// A request to close the program (the session ending) is not lost in the
// render loop: every pass and hold left stops, the movie is finished, and the
// request waits for the main loop.
TEST_F(MakeMovieInTheWindow, ACloseRequestStopsTheMovieAndWaits) {
  app.settings.PutSetting("MovieReverse", "1");
  const fs::path movie = testing::FreshTestFolder("make-movie-close") / "closed.avi";
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  EXPECT_EQ(MakeMovieStoppedBy(movie, app.Main().Handle(), kWmClose, 0, &icon),
            "Movie stopped after 3 of 28 frames");
  EXPECT_EQ(FramesIn(movie), 3);
  Message waiting;
  ASSERT_TRUE(PeekMessage(waiting));
  EXPECT_EQ(waiting.message, kWmClose);
  EXPECT_EQ(waiting.window, app.Main().Handle());
}

// The file dialog's "replace?" does not know what the show reads: a movie
// over one of its pictures, under another name, is refused before anything
// is written.
TEST_F(MakeMovieInTheWindow, AMovieOverAPictureOfTheShowIsRefused) {
  const fs::path folder = testing::FreshTestFolder("make-movie-over-picture");
  fs::copy_file(testing::ExamplesFolder() / "pictures" / "star.tga", folder / "star.tga");
  FileSpec fileRef;
  ASSERT_TRUE(fileRef.SetPath((folder / "star.tga").string()));
  ASSERT_EQ(app.Doc().LoadPicture(fileRef, -1), 1);
  const auto before = fs::file_size(folder / "star.tga");
  fs::create_symlink(folder / "star.tga", folder / "star.avi");
  ConfirmDialogs(1);
  // The dialog asks whether to replace the file; then the refusal comes.
  const auto messageBox = [] {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  };
  std::string replace;
  std::string shown;
  AnswerFileDialog((folder / "star.avi").string());
  testing::WhenFound(messageBox, [&](QWidget* box) {
    replace = qobject_cast<QMessageBox*>(box)->text().toStdString();
    qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    testing::WhenFound(messageBox, [&](QWidget* refusal) {
      shown = qobject_cast<QMessageBox*>(refusal)->text().toStdString();
      qobject_cast<QMessageBox*>(refusal)->accept();
    });
  });
  app.Main().RunCommand(cmd::kMakeMovie);
  EXPECT_NE(replace.find("star.avi"), std::string::npos) << replace;
  EXPECT_NE(shown.find("star.avi is the show's picture 2"), std::string::npos) << shown;
  EXPECT_EQ(fs::file_size(folder / "star.tga"), before);
  EXPECT_EQ(app.settings.GetSettingInt("MovieType", -1), -1);
}

// Options that make no movie are named before a file is asked for.
TEST_F(MakeMovieInTheWindow, OptionsThatMakeNoMovieAreNamed) {
  for (const auto& [width, start, told] :
       {std::tuple{"0", "00:00:00", "Width"},
        {"wide", "00:00:00", "Width"},
        {"64", "00:00:10", "The movie would hold no frame\nThe start and end timecodes"}}) {
    app.settings.PutSetting("MovieWid", width);
    app.settings.PutSetting("MovieStart", start);  // the show ends at 00:00:10
    ConfirmDialogs(1);
    std::string shown;
    AnswerMessageBox(&shown);
    app.Main().RunCommand(cmd::kMakeMovie);
    EXPECT_NE(shown.find(told), std::string::npos) << shown;
  }
  EXPECT_EQ(app.settings.GetSettingInt("MovieType", -1), -1);  // nothing stored
  app.settings.PutSetting("MovieStart", "00:00:00");
  // Cancelling the options stores nothing either.
  app.settings.PutSetting("MovieWid", "100");
  PostMessage(app.GetStage().Handle(), kWmKeyDown, 27, 0);
  app.Main().RunCommand(cmd::kMakeMovie);
  EXPECT_EQ(app.settings.GetSettingInt("MovieType", -1), -1);
}

TEST_F(MakeMovieInTheWindow, CompressionQualityPastTheScaleIsKeptToIt) {
  int quality = 150;
  std::string fourcc;
  ConfirmDialogs(1);
  ASSERT_TRUE(
      ChooseMovieCompression(app.GetStage(), app.settings, MovieContainer::kAvi, quality, fourcc));
  EXPECT_EQ(quality, 100);
  EXPECT_FALSE(fourcc.empty());
}

}  // namespace
}  // namespace vantoril

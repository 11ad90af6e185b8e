#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "app/make_movie_command.h"
#include "app/show_recovery.h"
#include "app/stage.h"
#include "app/support/app_harness.h"
#include "engine/show_file.h"
#include "gui_support/qt_environment.h"
#include "platform/commands_held.h"
#include "platform/menus.h"
#include "platform/message_queue.h"
#include "platform/window_impl.h"
#include "ui/dialogs/described_dialog.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;
using testing::AnswerFileDialog;
using testing::AnswerMessageBox;
using testing::AppHarness;
using testing::PressKey;
using testing::Pump;
using testing::TypeCharacter;

// Clicks the button of the given role in the next message box; with `cancel`
// the file dialog that follows is cancelled.
void AnswerQuestion(QMessageBox::ButtonRole role, bool cancelSave = false) {
  testing::WhenModal([role, cancelSave](QWidget* modal) {
    if (cancelSave) AnswerFileDialog("");
    auto* box = qobject_cast<QMessageBox*>(modal);
    for (QAbstractButton* b : box->buttons()) {
      if (box->buttonRole(b) == role) b->click();
    }
  });
}

TEST(MainWindowTexts, TitleAndMovieNameProposal) {
  EXPECT_EQ(WindowTitleFor(""), "Quennet Vantoril");
  EXPECT_EQ(WindowTitleFor("/shows/v1.2/intro.final.vsh"), "Quennet Vantoril - intro");
  // Cut at the last "." of the file name, never inside a folder name.
  EXPECT_EQ(MovieNameProposal("/shows/v1.2/intro.vsh"), "/shows/v1.2/intro");
  EXPECT_EQ(MovieNameProposal("/shows/v1.2/intro"), "/shows/v1.2/intro");
  EXPECT_EQ(MovieNameProposal(""), "");
  EXPECT_EQ(MovieSizeProblem("720", "480"), "");
  EXPECT_NE(MovieSizeProblem("0", "480").find("Width"), std::string::npos);
  EXPECT_NE(MovieSizeProblem("720", "tall").find("Height"), std::string::npos);
  EXPECT_EQ(MovieFileFilter(1).extension, ".mov");
  EXPECT_EQ(MovieFileFilter(7).extension, ".avi");
}

TEST(MainWindowMenus, InitialStateFollowsTheSettings) {
  AppHarness app;
  MenuBar& menu = app.Main().Menu();
  EXPECT_EQ(menu.SubmenuCount(), 7);
  EXPECT_EQ(menu.ItemFlags(cmd::kNtsc), kMenuChecked);
  EXPECT_EQ(menu.ItemFlags(cmd::kUndo), kMenuGreyed);
  EXPECT_EQ(menu.ItemFlags(cmd::kAutoAddKeys), kMenuChecked);
  EXPECT_EQ(menu.ItemFlags(cmd::kAspect4x3), kMenuChecked);
  EXPECT_EQ(menu.ItemText(cmd::kLoadPicture), MenuItemText("Load Picture/L"));
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril");
}

TEST(MainWindowPictures, LoadedPictureBecomesPictureZero) {
  AppHarness app;
  app.LoadPicture("sun.bmp");
  app.LoadPicture("sky.bmp");
  ASSERT_EQ(app.Doc().pictureCount, 2);
  EXPECT_NE(app.Doc().PictureAt(0).file.Path().find("sky.bmp"), std::string_view::npos);
  EXPECT_NE(app.Doc().PictureAt(1).file.Path().find("sun.bmp"), std::string_view::npos);
  EXPECT_EQ(app.Doc().selectedPicture, 0);
  EXPECT_FLOAT_EQ(app.State(0).width, 320);
  EXPECT_TRUE(app.Doc().Modified());

  // A full show says so and opens no dialog.
  app.Doc().pictureCount = kMaxPictures;
  std::string shown;
  AnswerMessageBox(&shown);
  app.Main().RunCommand(cmd::kLoadPicture);
  EXPECT_EQ(shown, "A show holds at most 30 pictures");
  app.Doc().pictureCount = 2;
}

TEST(MainWindowPictures, BrushesLockAndTheirMenuChecks) {
  AppHarness app;
  MenuBar& menu = app.Main().Menu();
  app.Main().RunCommand(1013);  // nothing to act on without a picture
  app.Main().RunCommand(cmd::kLock);
  EXPECT_FALSE(app.Doc().Modified());

  app.LoadPicture("sun.bmp");
  app.Main().RunCommand(1013);  // Pixelate
  EXPECT_EQ(app.Doc().PictureAt(0).brush, BrushCode(Brush::kPixelate));
  EXPECT_EQ(menu.ItemFlags(1013), kMenuChecked);
  EXPECT_EQ(menu.ItemFlags(cmd::kNormalImage), 0u);
  app.Main().RunCommand(cmd::kLock);
  EXPECT_EQ(menu.ItemFlags(cmd::kLock), kMenuChecked);
  app.Main().RunCommand(cmd::kLock);
  EXPECT_EQ(menu.ItemFlags(cmd::kLock), 0u);

  // A brush from a damaged show checks nothing.
  for (const int32_t code : {90000, -1000}) {
    app.Doc().SetBrush(0, BrushOfCode(code));
    app.Main().UpdatePictureMenu(0);
    for (int id = cmd::kNormalImage; id <= cmd::kNoColourBrush; ++id) {
      EXPECT_EQ(menu.ItemFlags(id), 0u) << code << " " << id;
    }
  }
}

TEST(MainWindowOptions, TogglesKeepChecksAndSettingsInStep) {
  AppHarness app;
  MenuBar& menu = app.Main().Menu();
  app.Main().RunCommand(cmd::kPal);
  EXPECT_EQ(app.Doc().clock.frameRate, 2500);
  EXPECT_EQ(menu.ItemFlags(cmd::kPal), kMenuChecked);
  EXPECT_EQ(menu.ItemFlags(cmd::kNtsc), 0u);
  EXPECT_EQ(app.settings.GetSettingInt("FrameRate", 0), 2500);

  app.Main().RunCommand(cmd::kAspect16x9);
  EXPECT_EQ(app.Doc().stageFrame.Width(), 853);
  EXPECT_EQ(app.Doc().stageWidth, 853);  // new pictures centre on it
  EXPECT_EQ(app.settings.GetSettingInt("AspectMode", 0), 5625);
  app.LoadPicture("sun.bmp");
  EXPECT_FLOAT_EQ(app.Doc().PictureAt(0).keys[0].x, 426.5f);
  app.Main().RunCommand(cmd::kAspect4x3);
  EXPECT_EQ(app.Doc().stageWidth, 640);

  for (int i = 0; i < 3; ++i) app.Main().RunCommand(cmd::kZoomOut);
  EXPECT_EQ(app.GetStage().Scale(), 0.5);
  EXPECT_EQ(app.settings.GetSettingInt("Scale", 0), 50);
  app.Main().RunCommand(cmd::kShowTvSafe);
  EXPECT_EQ(menu.ItemFlags(cmd::kShowTvSafe), kMenuChecked);
  EXPECT_EQ(app.settings.GetSettingInt("ShowTVSafe", 0), 1);
  app.Main().RunCommand(cmd::kAutoAddKeys);
  EXPECT_EQ(app.Doc().autoAddKey, 0);
  EXPECT_EQ(menu.ItemFlags(cmd::kAutoAddKeys), 0u);

  // Advanced options keep a long image folder whole.
  const std::string folder = "/media/archive/" + std::string(90, 'f') + "/pictures/";
  ASSERT_TRUE(app.Doc().altImageFolder.SetPath(folder));
  PostMessage(app.GetStage().Handle(), kWmKeyDown, 13, 0);  // OK
  app.Main().RunCommand(cmd::kAdvancedOptions);
  EXPECT_EQ(DescribedDialogFolder().Path(), folder);  // the chooser starts there
  EXPECT_EQ(app.Doc().altImageFolder.Path(), folder);
  EXPECT_EQ(app.settings.GetSetting("AltImageFolder", ""), folder);
}

// A key code of 0 types the character alone.
struct KeyStep {
  int code;
  uint32_t character;
  int32_t expected;
};

class KeyTables : public ::testing::Test {
 protected:
  void SetUp() override {
    app.LoadPicture("sun.bmp");
    app.LoadPicture("sky.bmp");
    // Key frames of picture 0 at 0, 30 and 60.
    for (int t : {30, 60}) {
      app.Doc().GoToTime(t, false);
      app.State(0).x += 10;
      app.Doc().SetKeyAtCurrentTime();
    }
    ASSERT_EQ(app.Doc().PictureAt(0).keyCount, 3);
    main = app.Main().Handle();
  }
  int32_t Now() { return app.Doc().clock.currentTime; }
  void Send(const KeyStep& k) {
    k.code ? PressKey(main, k.code, k.character) : TypeCharacter(main, k.character);
  }
  AppHarness app;
  WindowHandle main = 0;
};

TEST_F(KeyTables, TimeKeys) {
  // Home, End, Insert, Tab (the next key frame; none after: 0), numeric 4.
  const KeyStep steps[] = {{36, 0, 0},   {35, 0, 60}, {0, '$', 0},   {0, '#', 60}, {45, 0, 59},
                           {0, '-', 58}, {43, 0, 59}, {0, '+', 60},  {36, 0, 0},   {0, 9, 30},
                           {9, 9, 60},   {9, 9, 0},   {100, '4', 1}, {0, 'd', 2}};
  for (const KeyStep& k : steps) {
    Send(k);
    EXPECT_EQ(Now(), k.expected) << k.code << " " << k.character;
  }
}

TEST_F(KeyTables, PictureSelectionKeys) {
  const KeyStep steps[] = {{34, 0, 1}, {34, 0, 1}, {0, '!', 0}, {0, '"', 1}, {33, 0, 0}};
  for (const KeyStep& k : steps) {
    Send(k);
    EXPECT_EQ(app.Doc().selectedPicture, k.expected) << k.code << " " << k.character;
  }
}

TEST_F(KeyTables, EditKeysRunOneCommandPerPress) {
  app.Doc().GoToTime(30, true);
  ASSERT_EQ(app.Doc().currentKey, 1);
  PressKey(main, 8, 8);  // Backspace: a key-down and a character 8, one deletion
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 2);
  // At a key frame "." contracts the Timeline and deletes nothing, typed alone
  // it does nothing; Delete has no character; then Ctrl+Z, Ctrl+Y, Ctrl+Z.
  app.Doc().GoToTime(60, true);
  const KeyStep steps[] = {{190, '.', 2}, {0, '.', 2}, {188, ',', 2}, {46, 0, 1},
                           {0, 26, 2},    {0, 25, 1},  {0, 26, 2}};
  for (const KeyStep& k : steps) {
    Send(k);
    EXPECT_EQ(app.Doc().PictureAt(0).keyCount, k.expected) << k.code << " " << k.character;
  }
  EXPECT_EQ(app.timeline.contracts, 1);
  EXPECT_EQ(app.timeline.enlarges, 1);

  // Copy, cut and paste through their control codes.
  app.Doc().GoToTime(60, true);
  ASSERT_GE(app.Doc().currentKey, 1);
  const KeyFrame copied = app.Doc().GetKey(app.Doc().currentKey, 0);
  TypeCharacter(main, 24);  // Ctrl+X
  EXPECT_EQ(app.Doc().keyClipboard.x, copied.x);
  EXPECT_EQ(app.Doc().PictureAt(0).keyCount, 1);
  app.Doc().GoToTime(45, true);
  TypeCharacter(main, 22);  // Ctrl+V: a key frame at 45 with the copied place
  const KeyFrame* pasted = app.KeyAt(0, 45);
  ASSERT_NE(pasted, nullptr);
  EXPECT_FLOAT_EQ(pasted->x, copied.x);
  TypeCharacter(main, 3);  // Ctrl+C
  EXPECT_EQ(app.Doc().keyClipboard.time, 45);

  // Enter sets a key frame; its character adds nothing.
  app.Doc().GoToTime(90, true);
  PressKey(main, 13, 13);
  EXPECT_NE(app.KeyAt(0, 90), nullptr);
}

TEST_F(KeyTables, TransportKeys) {
  // Playback from the end starts at 0; a key-down stops it, the press's own
  // character does not.
  app.Doc().GoToTime(60, true);
  EnqueueMessage(Message{main, kWmKeyDown, 'P', 1, 'p'});
  EnqueueMessage(Message{main, kWmKeyDown, 'K', 1, 'k'});
  Pump();
  EXPECT_EQ(app.GetStage().PlayDirection(), 0);
  EXPECT_LT(Now(), 60);
  app.Doc().GoToTime(20, true);
  EnqueueMessage(Message{main, kWmKeyDown, '0', 1, '0'});
  EnqueueMessage(Message{main, kWmKeyDown, 27, 1, 27});
  Pump();
  EXPECT_LT(Now(), 20);  // "0" starts from frame 0

  // A menu command stops playback too, and is carried out.
  app.Doc().GoToTime(0, true);
  EnqueueMessage(Message{main, kWmKeyDown, 'P', 1, 'p'});
  PostMessage(main, kWmCommand, cmd::kShowTvSafe, 0);
  Pump();
  EXPECT_LT(Now(), 60);
  EXPECT_EQ(app.Main().Menu().ItemFlags(cmd::kShowTvSafe), kMenuChecked);
}

TEST_F(KeyTables, ControlCodesOpenTheirCommands) {
  bool opened = false;
  testing::WhenModal([&opened](QWidget* modal) {
    opened = true;
    static_cast<QDialog*>(modal)->reject();
  });
  TypeCharacter(main, 12);  // Ctrl+L
  EXPECT_TRUE(opened);
  // Ctrl+K opens the movie options; Esc leaves them. Their loop would drop a
  // menu command, so the menus take no clicks while they are up.
  QMenuBar* bar = FrameOf(app.Main())->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  bool held = false;
  int looks = 0;
  testing::WhenFound(
      [&]() -> QWidget* {
        held = !bar->isEnabled();
        return held || ++looks > 400 ? bar : nullptr;
      },
      [&](QWidget*) { PostMessage(app.GetStage().Handle(), kWmKeyDown, 27, 0); });
  PostMessage(main, kWmChar, 11, 1);
  Pump();
  EXPECT_EQ(QueuedMessageCount(), 0u);
  EXPECT_TRUE(held);
  EXPECT_TRUE(bar->isEnabled());
}

// Ctrl+L read as L would play. A busy program takes the press from its queue
// after Ctrl has been let go; what counts is the Ctrl held at the press.
TEST_F(KeyTables, ControlCountsAsHeldWhenTheKeyWasPressed) {
  bool opened = false;
  testing::WhenModal([&opened](QWidget* modal) {
    opened = true;
    static_cast<QDialog*>(modal)->reject();
  });
  // Ctrl down, L down and up, Ctrl up, all queued before the program looks;
  // the last one as the window system sends it, so that Ctrl is up by then.
  QWidget* canvas = CanvasOf(app.Main());
  QKeyEvent control(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_L, Qt::ControlModifier, QStringLiteral("\x0c"));
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_L, Qt::ControlModifier);
  for (QKeyEvent* event : {&control, &press, &release}) QCoreApplication::sendEvent(canvas, event);
  QTest::keyRelease(canvas, Qt::Key_Control, Qt::NoModifier);
  Pump();
  EXPECT_TRUE(opened);
  EXPECT_EQ(app.GetStage().PlayDirection(), 0);
  EXPECT_EQ(Now(), 0);
}

// The loops of playback and of a dialog on the Stage would drop the window's
// new size: the layout follows it while the show plays, and once the dialog
// has closed.
TEST_F(KeyTables, TheLayoutFollowsTheWindowDuringPlaybackAndAfterADialog) {
  QWidget* frame = FrameOf(app.Main());
  frame->showNormal();
  frame->resize(800, 600);
  Pump();
  Stage& stage = app.GetStage();
  const auto laidOut = [&] {
    const Rect now = stage.WindowRect();
    app.Main().LayoutChildren();
    return now == stage.WindowRect();
  };
  ASSERT_TRUE(laidOut());
  // Once `when` holds (or after two seconds), the window takes the size and
  // the program has the message before `then` queues the end of the loop.
  const auto resizeWhen = [frame](QSize size, std::function<bool()> when,
                                  std::function<void()> then) {
    auto looks = std::make_shared<int>(0);
    testing::WhenFound([=]() -> QWidget* { return when() || ++*looks > 400 ? frame : nullptr; },
                       [=](QWidget*) {
                         frame->resize(size);
                         QCoreApplication::processEvents();
                         then();
                       });
  };
  resizeWhen(
      QSize(900, 700), [&] { return stage.PlayDirection() != 0; },
      [&] {
        EnqueueMessage(Message{main, kWmKeyDown, 'K', 1, 'k'});
      });
  app.Doc().GoToTime(0, true);
  EnqueueMessage(Message{main, kWmKeyDown, 'P', 1, 'p'});
  Pump();
  EXPECT_LT(Now(), 60);  // the key stopped it
  EXPECT_TRUE(laidOut());

  resizeWhen(QSize(820, 640), CommandsAreHeld,
             [&] { PostMessage(stage.Handle(), kWmKeyDown, 27, 0); });
  app.Main().RunCommand(cmd::kMakeMovie);  // its options, left with Esc
  Pump();
  EXPECT_EQ(frame->size(), QSize(820, 640));
  EXPECT_TRUE(laidOut());
}

TEST(MainWindowShows, SaveQuestionCancelledKeepsTheShow) {
  AppHarness app;
  app.LoadPicture("sun.bmp");
  ASSERT_TRUE(app.Doc().Modified());
  // Yes, then Cancel in the save dialog: New Show stops, and so does closing.
  AnswerQuestion(QMessageBox::YesRole, true);
  app.Main().RunCommand(cmd::kNewShow);
  EXPECT_EQ(app.Doc().pictureCount, 1);
  AnswerQuestion(QMessageBox::YesRole, true);
  EXPECT_FALSE(app.Main().ConfirmClose());
  AnswerQuestion(QMessageBox::NoRole);  // No discards.
  app.Main().RunCommand(cmd::kNewShow);
  EXPECT_EQ(app.Doc().pictureCount, 0);
}

// Load Picture takes several files at once, each as if loaded alone (the
// last one chosen in front), as many as the show has room for.
TEST(MainWindowShows, LoadPictureTakesSeveralFilesUpToTheShowsRoom) {
  AppHarness app;
  const fs::path pictures = fs::absolute(testing::ExamplesFolder() / "pictures");
  const auto chooseBoth = [&] {
    AnswerFileDialog("\"" + (pictures / "sun.bmp").string() + "\" \"" +
                     (pictures / "star.tga").string() + "\"");
  };
  chooseBoth();
  app.Main().RunCommand(cmd::kLoadPicture);
  ASSERT_EQ(app.Doc().pictureCount, 2);
  EXPECT_EQ(app.Doc().PictureAt(0).file.Path(), (pictures / "star.tga").string());
  EXPECT_EQ(app.Doc().PictureAt(1).file.Path(), (pictures / "sun.bmp").string());

  while (app.Doc().pictureCount < kMaxPictures - 1) app.LoadPicture("sky.bmp");
  std::string shown;
  chooseBoth();
  AnswerMessageBox(&shown);
  app.Main().RunCommand(cmd::kLoadPicture);
  EXPECT_EQ(app.Doc().pictureCount, kMaxPictures);
  EXPECT_EQ(app.Doc().PictureAt(0).file.Path(), (pictures / "sun.bmp").string());
  EXPECT_EQ(shown, "A show holds at most 30 pictures");
}

TEST(MainWindowShows, BackgroundAndSoundCommandsChangeTheShow) {
  AppHarness app;
  AnswerFileDialog((testing::ExamplesFolder() / "pictures" / "sky.bmp").string());
  app.Main().RunCommand(cmd::kLoadBackground);
  EXPECT_EQ(app.Doc().backgroundSource, kBackgroundPicture);
  EXPECT_EQ(app.Doc().backgroundImage.Width(), 320);

  // Cancelling the sound dialog removes the sound track.
  ASSERT_TRUE(app.Doc().soundFile.SetPath("/sounds/old.wav"));
  AnswerFileDialog("");
  app.Main().RunCommand(cmd::kLoadSound);
  EXPECT_FALSE(app.Doc().soundFile.HasPath());
}

TEST(MainWindowShows, FailedSavesAndLoadsKeepTitleAndFile) {
  AppHarness app;
  const fs::path folder = testing::FreshTestFolder("not-a-show");
  app.LoadPicture("sun.bmp");
  const std::string good = (folder / "good.vsh").string();
  AnswerFileDialog(good);
  app.Main().RunCommand(cmd::kSaveShow);
  ASSERT_EQ(app.Doc().showFile.Path(), good);
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril - good");

  // The target is taken by a folder: the save fails and says so.
  fs::create_directories(folder / "taken.vsh");
  ASSERT_TRUE(app.Doc().showFile.SetPath((folder / "taken.vsh").string()));
  app.Doc().SetModified(true);
  std::string shown;
  AnswerMessageBox(&shown);
  TypeCharacter(app.Main().Handle(), 19);  // Ctrl+S
  EXPECT_EQ(shown.rfind("Can't save show file", 0), 0u) << shown;
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril - good");
  EXPECT_TRUE(app.Doc().Modified());

  ASSERT_TRUE(app.Doc().showFile.SetPath(good));
  app.Doc().SetModified(false);
  std::ofstream(folder / "junk.vsh") << "not a show at all";
  shown.clear();
  AnswerFileDialog((folder / "junk.vsh").string(), [&shown] { AnswerMessageBox(&shown); });
  app.Main().RunCommand(cmd::kLoadShow);
  EXPECT_EQ(shown, "This file is not a show file\n" + (folder / "junk.vsh").string());
  EXPECT_EQ(app.Doc().pictureCount, 1);
  EXPECT_EQ(app.Doc().showFile.Path(), good);
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril - good");

  // The example show loads and names the window.
  AnswerFileDialog((testing::ExamplesFolder() / "example.vsh").string());
  app.Main().RunCommand(cmd::kLoadShow);
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril - example");
  EXPECT_GT(app.Doc().pictureCount, 0);
}

// A show whose pictures take long to read says on the Stage how far the
// reading has come; one read at once shows nothing of it.
TEST(MainWindowShows, ASlowShowTellsHowFarItsPicturesHaveBeenRead) {
  // The right end of the panel's bar: red until the reading is nearly done.
  constexpr int kBarEndX = 210;
  constexpr int kBarY = 65;
  struct SlowLoader : PictureLoader {
    SlowLoader(PictureLoader& real, Stage& stage) : real(real), stage(stage) {}
    PictureLoad LoadImageFile(ImageBuffer& image, const FileSpec& file, const FileSpec& altFolder,
                              bool showErrors) override {
      barEnds.push_back(stage.PixelAt(kBarEndX, kBarY));
      std::this_thread::sleep_for(delay);
      return real.LoadImageFile(image, file, altFolder, showErrors);
    }
    bool JpegAvailable() const override { return real.JpegAvailable(); }
    PictureLoader& real;
    Stage& stage;
    std::chrono::milliseconds delay{0};
    std::vector<uint32_t> barEnds;
  };
  AppHarness app;
  SlowLoader loader(app.loader, app.GetStage());
  app.Doc().SetPictureLoader(&loader);
  const std::string example = (testing::ExamplesFolder() / "example.vsh").string();
  const uint32_t red = Rgb(255, 0, 0);
  for (const int delay : {0, 150}) {
    loader.delay = std::chrono::milliseconds(delay);
    loader.barEnds.clear();
    AnswerFileDialog(example);
    const auto start = std::chrono::steady_clock::now();
    app.Main().RunCommand(cmd::kLoadShow);
    const bool quick = std::chrono::steady_clock::now() - start < std::chrono::milliseconds(250);
    ASSERT_EQ(app.Doc().pictureCount, 4);
    ASSERT_EQ(loader.barEnds.size(), 5u);  // the background after the pictures
    // The fourth picture is read well past the panel's delay when each takes
    // 150 ms; the panel goes once the show is in.
    if (delay > 0) {
      EXPECT_EQ(loader.barEnds[3], red);
    } else if (quick) {  // a machine too busy to read four small files at once proves nothing
      EXPECT_NE(loader.barEnds[3], red);
    }
    EXPECT_NE(app.GetStage().PixelAt(kBarEndX, kBarY), red);
  }
}

// A show that a program left unsaved when it did not end cleanly is offered
// at start: Yes opens it under its own name with its changes unsaved, No
// deletes the copy, Cancel keeps it for the next start.
TEST(MainWindowShows, AShowLeftUnsavedIsOfferedAtStart) {
  AppHarness app;
  const fs::path folder = testing::FreshTestFolder("recovery") / "vantoril";
  const auto leaveCopy = [&](const char* origin) {
    app.LoadPicture("sun.bmp");
    ASSERT_TRUE(app.Doc().showFile.SetPath(origin));
    RecoveryStore crashed(folder);
    ASSERT_TRUE(crashed.Keep(app.Doc()));
    AnswerQuestion(QMessageBox::NoRole);
    app.Main().RunCommand(cmd::kNewShow);
    ASSERT_EQ(app.Doc().pictureCount, 0);
  };
  const auto copies = [&] {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
  };

  leaveCopy("/shows/holiday.vsh");
  std::string question;
  AnswerMessageBox(&question, "&Yes");
  ShowRecovery recovery(folder);
  const auto chosen = recovery.Choose();
  ASSERT_TRUE(chosen.has_value());
  EXPECT_TRUE(recovery.Open(*chosen, app.Main(), app.Doc()));
  EXPECT_EQ(question.rfind("Vantoril ended without saving the changes to holiday.vsh "
                           "(/shows/holiday.vsh).",
                           0),
            0u)
      << question;
  EXPECT_EQ(app.Doc().pictureCount, 1);
  EXPECT_TRUE(app.Doc().Modified());
  EXPECT_EQ(app.Doc().showFile.Path(), "/shows/holiday.vsh");
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril - holiday");
  EXPECT_EQ(copies(), 3) << "this program's own copy, and no other";
  recovery.Discard();
  AnswerQuestion(QMessageBox::NoRole);
  app.Main().RunCommand(cmd::kNewShow);

  for (const auto& [role, kept] : {std::pair{QMessageBox::RejectRole, 3},  // Cancel
                                   {QMessageBox::NoRole, 0}}) {
    if (copies() == 0) leaveCopy("");
    AnswerQuestion(role);
    EXPECT_FALSE(ShowRecovery(folder).Choose().has_value());
    EXPECT_EQ(app.Doc().pictureCount, 0);
    EXPECT_EQ(copies(), kept);
  }
}

// Drops local files on a window's canvas as a desktop's drag and drop does;
// false when the window refused them.
bool SendDrop(const Window& window, const std::vector<fs::path>& files) {
  QMimeData data;
  QList<QUrl> urls;
  for (const fs::path& file : files) urls << QUrl::fromLocalFile(QString::fromStdString(file));
  data.setUrls(urls);
  QWidget* canvas = CanvasOf(window);
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(canvas, &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(canvas, &drop);
  return enter.isAccepted() && drop.isAccepted();
}

void DropOn(const Window& window, const std::vector<fs::path>& files) {
  EXPECT_TRUE(SendDrop(window, files));
  Pump();
}

TEST(MainWindowDrops, DroppedFilesLoadInOrderAndFailuresAreNamedOnce) {
  AppHarness app;
  const fs::path folder = testing::FreshTestFolder("drops");
  const fs::path pictures = testing::ExamplesFolder() / "pictures";
  std::ofstream(folder / "bad.bmp") << "not a picture";
  // A WAV file of 100 silent 16-bit mono samples at 8000 Hz, little-endian fields.
  std::ofstream(folder / "sound.wav", std::ios::binary)
      << std::string(
             "RIFF\xEC\0\0\0WAVEfmt \x10\0\0\0\1\0\1\0\x40\x1F\0\0\x80\x3E\0\0\2\0\x10\0data"
             "\xC8\0\0\0",
             44)
      << std::string(200, '\0');
  std::string shown;
  AnswerMessageBox(&shown);
  DropOn(app.Main(), {pictures / "sun.bmp", folder / "bad.bmp", pictures / "star.tga",
                      folder / "sound.wav", folder / "missing.png"});
  // Each picture as Load Picture makes it: the last dropped is in front.
  ASSERT_EQ(app.Doc().pictureCount, 2);
  EXPECT_EQ(app.Doc().PictureAt(0).file.Path(), (pictures / "star.tga").string());
  EXPECT_EQ(app.Doc().PictureAt(1).file.Path(), (pictures / "sun.bmp").string());
  EXPECT_EQ(app.Doc().soundFile.Path(), (folder / "sound.wav").string());
  EXPECT_NE(shown.find("bad.bmp"), std::string::npos) << shown;
  EXPECT_NE(shown.find("missing.png"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("sun.bmp"), std::string::npos) << shown;

  // The Stage takes drops too; a show opens after the save question.
  AnswerQuestion(QMessageBox::NoRole);
  DropOn(app.GetStage(), {testing::ExamplesFolder() / "example.vsh"});
  EXPECT_EQ(app.Main().Title(), "Quennet Vantoril - example");
  EXPECT_GT(app.Doc().pictureCount, 2);
}

// No drop is lost or taken for another: one during playback stops it and is
// loaded; one whose message a loop took is not loaded by the next drop; and
// while commands are held (a dialog on the Stage, a render) drops are refused.
TEST(MainWindowDrops, EveryDropIsLoadedOnceOrRefused) {
  AppHarness app;
  app.LoadPicture("sun.bmp");
  app.Doc().GoToTime(90, true);
  app.Doc().SetKeyAtCurrentTime();
  app.Doc().GoToTime(0, true);
  const fs::path pictures = testing::ExamplesFolder() / "pictures";
  const WindowHandle main = app.Main().Handle();
  EnqueueMessage(Message{main, kWmKeyDown, 'P', 1, 'p'});
  DropOn(app.GetStage(), {pictures / "star.tga"});
  EXPECT_LT(app.Doc().clock.currentTime, 90);
  ASSERT_EQ(app.Doc().pictureCount, 2);

  ASSERT_TRUE(SendDrop(app.Main(), {pictures / "lens.tga"}));
  Message lost;
  while (PeekMessage(lost) && lost.message != kWmDropFiles) {
  }
  ASSERT_EQ(lost.message, kWmDropFiles);
  DropOn(app.Main(), {pictures / "stripes.tif"});
  ASSERT_EQ(app.Doc().pictureCount, 3);
  EXPECT_EQ(app.Doc().PictureAt(0).file.Path(), (pictures / "stripes.tif").string());

  {
    const CommandsHeld held;
    EXPECT_FALSE(SendDrop(app.Main(), {pictures / "lens.tga"}));
    EXPECT_FALSE(app.Main().Menu().ChooseItem(cmd::kShowTvSafe));
  }
  Pump();
  EXPECT_EQ(app.Doc().pictureCount, 3);
  EXPECT_TRUE(app.Main().Menu().ChooseItem(cmd::kShowTvSafe));
}

// The rate and sound track line is drawn on a cleared row: drawn again it
// looks the same, and a shorter line leaves nothing of the longer behind.
TEST(MainWindowStatus, TheRateLineLooksTheSameHoweverOftenItIsDrawn) {
  AppHarness app;
  MainWindow& main = app.Main();
  const Rect c = main.ClientRect();
  const auto row = [&] {
    std::vector<uint32_t> pixels;
    for (int y = c.bottom - 13; y < c.bottom; ++y) {
      for (int x = 200; x < c.right; ++x) pixels.push_back(main.PixelAt(x, y));
    }
    return pixels;
  };
  ASSERT_TRUE(app.Doc().soundFile.SetPath("/sounds/a rather long sound track.wav"));
  main.Repaint();
  const std::vector<uint32_t> once = row();
  for (int i = 0; i < 3; ++i) main.DrawStatusPanel(KeyFrame{});
  EXPECT_EQ(row(), once);
  app.Doc().soundFile = FileSpec{};
  main.DrawStatusPanel(KeyFrame{});
  const std::vector<uint32_t> shorter = row();
  EXPECT_NE(shorter, once);
  main.Repaint();
  EXPECT_EQ(row(), shorter);
}

}  // namespace
}  // namespace vantoril

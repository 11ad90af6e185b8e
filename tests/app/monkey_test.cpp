// A seeded random walk through the whole program: keys of both key tables,
// menu commands (the file dialogs aside), drags and right-clicks on the
// Stage and the Timeline, the dialogs they open confirmed or cancelled,
// undo and redo, play and stop, New Show. The show's invariants are checked
// every 100 actions; the document marks its own changes.
//
// VANTORIL_MONKEY_SEED=n replays one seed; VANTORIL_MONKEY_ACTIONS=n sets the
// walk's length (shorter by default in the sanitizer builds).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/support/app_harness.h"
#include "app/timeline_adapter.h"
#include "platform/message_queue.h"
#include "ui/timeline/timeline_window.h"

namespace vantoril {
namespace {

using testing::AppHarness;
using testing::Click;
using testing::Pump;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kDefaultActions = 150;
#else
constexpr int kDefaultActions = 1000;
#endif

int EnvironmentNumber(const char* name, int otherwise) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : otherwise;
}

class Monkey {
 public:
  explicit Monkey(unsigned seed) : random_(seed) {
    auto adapter = TimelineAdapter::Create(app_.Main(), app_.Doc(), app_.settings);
    if (adapter) {
      timeline_ = &adapter->Timeline();
      app_.Main().AdoptTimeline(std::move(adapter));
    }
    Pump();
    // Whatever dialog or box opens is answered at random; a file dialog
    // (a save question answered yes) is cancelled.
    answerer_.setInterval(2);
    QObject::connect(&answerer_, &QTimer::timeout, [this] { AnswerModal(); });
    answerer_.start();
  }

  AppHarness& App() { return app_; }

  void Walk(int actions) {
    for (int action = 0; action < actions; ++action) {
      Act();
      Pump();
      if (action % 100 == 99) {
        CheckInvariants(action);
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
    CheckInvariants(actions);
  }

 private:
  int Pick(int count) { return int(random_() % uint32_t(count)); }
  bool Chance(int percent) { return Pick(100) < percent; }

  // Answers the modal widget from the event queue rather than the
  // timer: an answer that opens another modal (a box after a dialog) must
  // leave the timer free to answer that one too.
  void AnswerModal() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == pending_) return;
    pending_ = modal;
    QTimer::singleShot(0, modal, [this, modal] {
      pending_ = nullptr;
      Answer(modal);
    });
  }

  void Answer(QWidget* modal) {
    if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      // The picture the walk chose, or a cancel (a save question answered
      // yes asks for a file too).
      if (picture_.empty()) {
        static_cast<QDialog*>(files)->reject();
      } else {
        files->selectFile(QString::fromStdString(picture_));
        files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QString::fromStdString(picture_));
        static_cast<QDialog*>(files)->accept();
      }
      picture_.clear();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      const auto buttons = box->buttons();
      if (buttons.isEmpty()) {
        box->reject();
      } else {
        buttons[Pick(int(buttons.size()))]->click();
      }
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      if (Chance(50)) {
        dialog->accept();
      } else {
        dialog->reject();
      }
    }
  }

  // A point on the Stage, near the selected picture's middle half the time.
  std::pair<int, int> StagePoint() {
    const Rect r = app_.GetStage().ClientRect();
    if (Chance(50) && app_.Doc().HasPicture(app_.Doc().selectedPicture)) {
      const KeyFrame& s = app_.State(app_.Doc().selectedPicture);
      return {int(s.x * app_.GetStage().Scale()) + Pick(41) - 20,
              int(s.y * app_.GetStage().Scale()) + Pick(41) - 20};
    }
    return {r.left + Pick(std::max(1, r.right - r.left)),
            r.top + Pick(std::max(1, r.bottom - r.top))};
  }

  void Drag(WindowHandle window, std::pair<int, int> from, uintptr_t modifiers) {
    Click(window, kWmLButtonDown, kMkLButton | modifiers, from.first, from.second);
    for (int step = Pick(4); step >= 0; --step) {
      from.first += Pick(61) - 30;
      from.second += Pick(61) - 30;
      Click(window, kWmMouseMove, kMkLButton | modifiers, from.first, from.second);
    }
    Click(window, kWmLButtonUp, modifiers, from.first, from.second);
  }

  // One random action.
  void Act() {
    static constexpr std::array kMainKeys = {36, 35,  45,  43, 9,  100, 102, 34, 33,
                                             8,  190, 188, 46, 13, 37,  38,  39, 40};
    static constexpr std::array kCharacters = {26u, 25u, 24u, 22u, 3u};
    static constexpr std::array kCommands = {cmd::kShowMotionPath,
                                             cmd::kAutoAddKeys,
                                             cmd::kFastDisplay,
                                             cmd::kLock,
                                             1011,
                                             1012,
                                             1013,
                                             1014,
                                             1015,
                                             1016,
                                             1017,
                                             cmd::kNtsc,
                                             cmd::kPal,
                                             cmd::kFilm,
                                             cmd::kAspect4x3,
                                             cmd::kAspect16x9,
                                             cmd::kDeletePicture,
                                             cmd::kShowTvSafe,
                                             cmd::kZoomIn,
                                             cmd::kZoomOut,
                                             cmd::kEnlargeTimeline,
                                             cmd::kContractTimeline,
                                             cmd::kCopy,
                                             cmd::kCut,
                                             cmd::kPaste,
                                             cmd::kDelete,
                                             cmd::kUndo,
                                             cmd::kRedo,
                                             cmd::kAbout};
    static constexpr std::array kPictures = {"sun.bmp", "sky.bmp", "lens.tga", "star.tga",
                                             "stripes.tif"};
    const WindowHandle main = app_.Main().Handle();
    const WindowHandle stage = app_.GetStage().Handle();
    const int kind = app_.Doc().pictureCount < 3 && Chance(30) ? 0 : Pick(12);
    switch (kind) {
      case 0:  // a picture through the File menu (its dialog answered)
        if (app_.Doc().pictureCount < kMaxPictures || Chance(10)) {
          picture_ =
              (testing::ExamplesFolder() / "pictures" / kPictures[Pick(int(kPictures.size()))])
                  .string();
          app_.Main().RunCommand(cmd::kLoadPicture);
          picture_.clear();
        }
        break;
      case 1:  // a key of the main window's table, to the main window or the Stage
        testing::PressKey(Chance(70) ? main : stage, kMainKeys[Pick(int(kMainKeys.size()))], 0);
        break;
      case 2:
        testing::TypeCharacter(main, kCharacters[Pick(int(kCharacters.size()))]);
        break;
      case 3:
      case 4: {
        const int command = kCommands[Pick(int(kCommands.size()))];
        if (command == cmd::kTintBrush) {
          // The colour chooser runs a loop of its own: a click on its ramp,
          // then Escape, wait in the queue for it.
          PostMessage(main, kWmLButtonDown, kMkLButton, MakeLParam(175, 80));
          PostMessage(main, kWmLButtonUp, 0, MakeLParam(175, 80));
          PostMessage(main, kWmKeyDown, 27, 0);
        }
        app_.Main().RunCommand(command);
      } break;
      case 5:  // a drag on the Stage: move, resize or rotate, maybe with Shift
        Drag(stage, StagePoint(), Chance(30) ? kMkShift : 0);
        break;
      case 6:  // a drag or a click on the Timeline
        if (timeline_) {
          const Rect r = timeline_->ClientRect();
          Drag(timeline_->Handle(),
               {r.left + Pick(std::max(1, r.right - r.left)),
                r.top + Pick(std::max(1, r.bottom - r.top))},
               Chance(20) ? kMkShift : 0);
        }
        break;
      case 7: {  // right-click options on the Stage or the Timeline
        if (Chance(50) || !timeline_) {
          const auto [x, y] = StagePoint();
          PostMessage(stage, kWmRButtonDown, kMkRButton, MakeLParam(x, y));
        } else {
          const Rect r = timeline_->ClientRect();
          PostMessage(timeline_->Handle(), kWmRButtonUp, 0,
                      MakeLParam(r.left + Pick(std::max(1, r.right - r.left)),
                                 r.top + Pick(std::max(1, r.bottom - r.top))));
        }
        // The options run a loop of their own: Enter confirms, Escape
        // cancels; what is left over reaches the main window.
        PostMessage(main, kWmKeyDown, Chance(50) ? 13 : 27, 0);
        PostMessage(main, kWmKeyDown, 27, 0);
        Pump();
        break;
      }
      case 8:  // play a moment, then stop
        EnqueueMessage(Message{main, kWmKeyDown, uintptr_t(Chance(50) ? 'P' : '0'), 1, 0});
        EnqueueMessage(Message{main, kWmKeyDown, 27, 1, 27});
        break;
      case 9:
        if (Chance(10)) app_.Main().RunCommand(cmd::kNewShow);
        break;
      case 10:
        app_.Main().SelectPictureAndRefresh(Pick(kMaxPictures + 1) - 1);
        break;
      default:  // time moves
        app_.Doc().GoToTime(Pick(600), true);
        break;
    }
  }

  void CheckInvariants(int action) {
    const ShowDocument& doc = app_.Doc();
    SCOPED_TRACE("after action " + std::to_string(action));
    ASSERT_GE(doc.pictureCount, 0);
    ASSERT_LE(doc.pictureCount, kMaxPictures);
    for (int s = 0; s < doc.pictureCount; ++s) {
      const Picture& picture = doc.PictureAt(s);
      ASSERT_GE(picture.keyCount, 1) << "picture " << s;
      ASSERT_LE(picture.keyCount, kMaxKeys) << "picture " << s;
      for (int k = 1; k < picture.keyCount; ++k) {
        ASSERT_LT(picture.keys[k - 1].time, picture.keys[k].time)
            << "picture " << s << " key " << k;
      }
    }
    ASSERT_TRUE(doc.pictureCount == 0 || doc.HasPicture(doc.selectedPicture) ||
                doc.selectedPicture == -1)
        << "selected " << doc.selectedPicture << " of " << doc.pictureCount;
    ASSERT_GE(doc.undoCount, 0);
    ASSERT_GE(doc.redoCount, 0);
    ASSERT_LE(doc.undoCount + doc.redoCount, kUndoRingSize);
    ASSERT_GE(doc.undoTop, -1);
    ASSERT_LT(doc.undoTop, kUndoRingSize);
  }

  AppHarness app_;
  TimelineWindow* timeline_ = nullptr;
  std::mt19937 random_;
  QTimer answerer_;
  std::string picture_;        // the file the next file dialog chooses
  QPointer<QWidget> pending_;  // a modal whose answer is queued
};

TEST(Monkey, RandomWalksKeepTheShowSound) {
  const int replay = EnvironmentNumber("VANTORIL_MONKEY_SEED", -1);
  const int actions = EnvironmentNumber("VANTORIL_MONKEY_ACTIONS", kDefaultActions);
  std::vector<unsigned> seeds = {14, 2026, 7};
  if (replay >= 0) seeds = {unsigned(replay)};
  for (const unsigned seed : seeds) {
    SCOPED_TRACE("replay with VANTORIL_MONKEY_SEED=" + std::to_string(seed) +
                 " VANTORIL_MONKEY_ACTIONS=" + std::to_string(actions));
    Monkey monkey(seed);
    monkey.Walk(actions);
    if (HasFatalFailure()) return;
    std::printf("seed %u: %d actions, %d pictures at the end\n", seed, actions,
                monkey.App().Doc().pictureCount);
  }
}

}  // namespace
}  // namespace vantoril

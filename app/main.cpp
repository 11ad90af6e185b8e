#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/app_init.h"
#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/show_recovery.h"
#include "app/timeline_adapter.h"
#include "engine/show_document.h"
#include "media/clip_reader.h"
#include "media/image_file_loader.h"
#include "media/sound_track_player.h"
#include "platform/message_boxes.h"
#include "platform/message_queue.h"
#include "platform/message_timer.h"
#include "platform/platform_session.h"
#include "platform/qt_audio_output.h"
#include "platform/resources.h"

namespace {

constexpr std::string_view kUsage =
    "usage: vantoril [SHOW.vsh]\n"
    "\n"
    "Animates still pictures over a still or movie background and renders them to movies.\n"
    "With a show file, the program opens it as Load Show does.\n"
    "\n"
    "  --help       this text\n"
    "  --version    the program's version\n"
    "\n"
    "The headless tool is vantoril-cli (see vantoril-cli --help).\n";

// 1 (done) once the answer is written out, else 3 (status 2) with the
// reason: an answer lost on a full disk is no success.
int Answered() {
  errno = 0;
  std::cout.flush();
  if (std::cout) return 1;
  std::cerr << "vantoril: cannot write to standard output";
  if (errno != 0) std::cerr << ": " << std::strerror(errno);
  std::cerr << '\n';
  return 3;
}

// The options answered before any window exists: 0 to go on, else the exit
// status + 1.
int AnswerOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--help" || word == "-h") {
      std::cout << kUsage;
      return Answered();
    }
    if (word == "--version") {
      std::cout << "vantoril " VANTORIL_VERSION "\n";
      return Answered();
    }
    if (word.starts_with("--")) {
      std::cerr << "vantoril: unknown option " << word << "\n" << kUsage;
      return 2;
    }
  }
  return 0;
}

// The show named once Qt has taken its own options (-platform, -display ...)
// out of the words; empty when none. False for more than one.
bool ShowOnCommandLine(int argc, char** argv, std::string& show) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (!show.empty()) {
      std::cerr << "vantoril: one show at a time\n" << kUsage;
      return false;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(word, error);
    show = error ? std::string(word) : absolute.lexically_normal().string();
  }
  return true;
}

// Lets the new window take its size and draw itself before a long read, such
// as a show of large photographs, keeps the program from the message loop:
// the size and move messages queued so far are handled, every other one is
// left for the loop.
void SettleWindow() {
  using namespace vantoril;
  ShowDrawingNow();
  Message message;
  for (size_t queued = QueuedMessageCount(); queued > 0 && PeekMessage(message); --queued) {
    if (message.message == kWmSize || message.message == kWmMove) {
      DispatchMessage(message);
    } else {
      EnqueueMessage(message);
    }
  }
  ShowDrawingNow();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantoril;
  if (const int done = AnswerOptions(argc, argv); done != 0) return done - 1;
  PlatformSession session(argc, argv);
  session.NameProgram("Vantoril", "vantoril");
  std::string show;
  if (!ShowOnCommandLine(argc, argv, show)) return 1;
  AppContext app;
  AppInit(app, "Vantoril", kProgramIconId);
  {
    MessageBoxSink messages;
    ImageFileLoader loader(messages);
    ClipReader clip(&messages);
    QtAudioOutput audio;
    SoundTrackPlayer sound(audio, &messages);
    auto document = std::make_unique<ShowDocument>(app.settings);
    document->SetPictureLoader(&loader);
    document->SetBackgroundClip(&clip);
    document->EnterStandaloneMode();
    // A show left unsaved by a program that did not end cleanly is asked
    // about first, before the window is shown, so that the question stands
    // alone; once one is opened, a show named on the command line waits.
    ShowRecovery recovery(RecoveryStore::DefaultFolder());
    const std::optional<RecoveryStore::Orphan> recoveredCopy = recovery.Choose();
    MainWindow window(*document, app.settings, &sound);
    if (!window.Create()) {
      ShowErrorBox("The program's window could not be created.", MessageSink::kNoCode);
      return 1;
    }
    // The Timeline comes after the Stage, beneath it. The main window works
    // without one, so its failure is told and the program goes on.
    if (auto timeline = TimelineAdapter::Create(window, *document, app.settings)) {
      window.AdoptTimeline(std::move(timeline));
    } else {
      ShowErrorBox(
          "The Timeline window could not be created; the show can be edited on the "
          "Stage alone.",
          MessageSink::kNoCode);
    }
    const bool recovered = recoveredCopy && recovery.Open(*recoveredCopy, window, *document);
    // A show named on the command line opens as Load Show opens one.
    if (!show.empty() && !recovered) {
      FileSpec file;
      if (file.SetPath(show)) {
        SettleWindow();
        window.OpenShow(file);
      } else {
        ShowErrorBox("The file's path is longer than 255 characters", MessageSink::kNoCode);
      }
    }
    // Ending the session (or Ctrl+C) closes the program in order, settings kept.
    session.RouteTerminationTo(window.Handle());
    // While the show has unsaved changes, a copy of it follows them.
    const MessageTimer recoveryTimer(window.Handle(), kWmKeepRecoveryCopy, kRecoveryIntervalMs);
    // A close request passes only once the unsaved show is saved or given up.
    RunMessageLoop(true, [&](const Message& message) {
      if (message.window != window.Handle()) return false;
      if (message.message == kWmKeepRecoveryCopy) {
        recovery.Keep(*document);
        return true;
      }
      return message.message == kWmClose && !window.ConfirmClose();
    });
    recovery.Discard();
    sound.StopSoundTrack();
    window.DestroyWindow();
    document.reset();
    clip.Close();
  }
  AppShutdown(app);
  return 0;
}

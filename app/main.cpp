#include <memory>

#include "app/app_init.h"
#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/timeline_adapter.h"
#include "engine/show_document.h"
#include "media/clip_reader.h"
#include "media/image_file_loader.h"
#include "media/sound_track_player.h"
#include "platform/message_boxes.h"
#include "platform/platform_session.h"
#include "platform/qt_audio_output.h"
#include "platform/resources.h"

int main(int argc, char** argv) {
  using namespace vantoril;
  PlatformSession session(argc, argv);
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
    // Ending the session (or Ctrl+C) closes the program in order, settings kept.
    session.RouteTerminationTo(window.Handle());
    // A close request passes only once the unsaved show is saved or given up.
    RunMessageLoop(true, [&window](const Message& message) {
      return message.window == window.Handle() && message.message == kWmClose &&
             !window.ConfirmClose();
    });
    sound.StopSoundTrack();
    window.DestroyWindow();
    document.reset();
    clip.Close();
  }
  AppShutdown(app);
  return 0;
}

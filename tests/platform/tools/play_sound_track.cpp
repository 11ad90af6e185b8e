// Plays a WAV sound track through the program's Qt sound output, as the
// preview does, for the sound server test:
//   play_sound_track WAV FRAME RATE SECONDS
// starts the track at show frame FRAME at RATE (frames per second x 100) and
// stops it SECONDS later. The player's messages go to stderr, one a line.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/file_spec.h"
#include "engine/message_sink.h"
#include "media/sound_track_player.h"
#include "platform/qt_audio_output.h"

namespace {

class StderrMessages final : public vantoril::MessageSink {
 public:
  void ShowMessage(std::string_view text, long) override {
    std::string line(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::fprintf(stderr, "message: %s\n", line.c_str());
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: play_sound_track WAV FRAME RATE SECONDS\n");
    return 2;
  }
  QCoreApplication application(argc, argv);
  vantoril::FileSpec file;
  if (!file.SetPath(argv[1])) return 2;
  const int frame = std::atoi(argv[2]);
  const int rate = std::atoi(argv[3]);
  const double seconds = std::atof(argv[4]);

  StderrMessages messages;
  vantoril::QtAudioOutput output;
  vantoril::SoundTrackPlayer player(output, &messages);
  player.PlaySoundTrackFrom(file, frame, rate);
  QTimer::singleShot(static_cast<int>(seconds * 1000), &application, [&] {
    player.StopSoundTrack();
    application.quit();
  });
  return application.exec();
}

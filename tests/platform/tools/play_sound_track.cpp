// Plays a WAV sound track through the program's Qt sound output, as the
// preview does, for the sound server test:
//   play_sound_track WAV FRAME RATE SECONDS
// starts the track at show frame FRAME at RATE (frames per second x 100) and
// stops it SECONDS after it was asked for. The player's messages go to
// stderr, one a line; stdout tells when playing was asked for, when the start
// returned and when the stop was asked for ("asked T", "started T", "stop T"),
// T in seconds on the monotonic clock.
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/file_spec.h"
#include "engine/message_sink.h"
#include "media/sound_track_player.h"
#include "platform/qt_audio_output.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Tell(const char* what, double when) {
  std::printf("%s %.6f\n", what, when);
  std::fflush(stdout);
}

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
  const double asked = Now();
  player.PlaySoundTrackFrom(file, frame, rate);
  const double started = Now();
  Tell("asked", asked);
  Tell("started", started);
  // The timer's own lateness is measured, not assumed: "stopped" tells it.
  const int left = static_cast<int>((asked + seconds - started) * 1000);
  QTimer::singleShot(std::max(0, left), Qt::PreciseTimer, &application, [&] {
    Tell("stop", Now());
    player.StopSoundTrack();
    application.quit();
  });
  return application.exec();
}

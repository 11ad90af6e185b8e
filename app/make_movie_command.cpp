#include "app/make_movie_command.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "app/main_window.h"
#include "app/stage.h"
#include "app/window_settings.h"
#include "engine/picture_problem.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "engine/show_inputs.h"
#include "output/make_movie_options.h"
#include "output/make_movie_run.h"
#include "output/movie_writer.h"
#include "output/render_range.h"
#include "platform/commands_held.h"
#include "platform/file_dialogs.h"
#include "platform/key_codes.h"
#include "platform/message_boxes.h"
#include "platform/message_queue.h"
#include "platform/resources.h"
#include "ui/dialogs/described_dialog.h"

namespace vantoril {

MovieFileChoice MovieFileFilter(int movieType) {
  switch (movieType) {
    case 1:
      return {
          "QuickTime Movies (*.mov)|*.mov|AVI Files (*.avi)|*.avi|DPS Files (*.dps)|*.dps|"
          "VideoToaster Files (*.rtv)|*.rtv|MP4 Movies (*.mp4)|*.mp4|Matroska Movies (*.mkv)|*.mkv|"
          "All Files *.*|*.*||",
          ".mov"};
    case 2:
      return {
          "DPS Files (*.dps)|*.dps|AVI Files (*.avi)|*.avi|QuickTime Movies (*.mov)|*.mov|"
          "VideoToaster Files (*.rtv)|*.rtv|MP4 Movies (*.mp4)|*.mp4|Matroska Movies (*.mkv)|*.mkv|"
          "All Files *.*|*.*||",
          ".dps"};
    case 3:
      return {
          "VideoToaster Files (*.rtv)|*.rtv|AVI Files (*.avi)|*.avi|QuickTime Movies "
          "(*.mov)|*.mov|DPS Files (*.dps)|*.dps|MP4 Movies (*.mp4)|*.mp4|Matroska Movies "
          "(*.mkv)|*.mkv|"
          "All Files *.*|*.*||",
          ".rtv"};
    case 4:
      return {
          "MP4 Movies (*.mp4)|*.mp4|AVI Files (*.avi)|*.avi|QuickTime Movies (*.mov)|*.mov|"
          "Matroska Movies (*.mkv)|*.mkv|DPS Files (*.dps)|*.dps|VideoToaster Files (*.rtv)|*.rtv|"
          "All Files *.*|*.*||",
          ".mp4"};
    case 5:
      return {
          "Matroska Movies (*.mkv)|*.mkv|AVI Files (*.avi)|*.avi|QuickTime Movies (*.mov)|*.mov|"
          "MP4 Movies (*.mp4)|*.mp4|DPS Files (*.dps)|*.dps|VideoToaster Files (*.rtv)|*.rtv|"
          "All Files *.*|*.*||",
          ".mkv"};
    default:
      return {
          "AVI Files (*.avi)|*.avi|QuickTime Movies (*.mov)|*.mov|DPS Files (*.dps)|*.dps|"
          "VideoToaster Files (*.rtv)|*.rtv|MP4 Movies (*.mp4)|*.mp4|Matroska Movies (*.mkv)|*.mkv|"
          "All Files *.*|*.*||",
          ".avi"};
  }
}

std::string MovieSizeProblem(std::string_view width, std::string_view height) {
  const std::pair<std::string_view, std::string_view> sides[2] = {{"Width", width},
                                                                  {"Height", height}};
  for (const auto& [name, text] : sides) {
    const std::string value(text);
    char* end = nullptr;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (end == value.c_str()) {
      return "The movie's " + std::string(name) + " must be a number of pixels, not \"" + value +
             "\"";
    }
    if (number <= 0) {
      return "The movie's " + std::string(name) + " must be at least 1 pixel";
    }
  }
  return {};
}

bool ChooseMovieCompression(Window& host, SettingsStore& settings, MovieContainer container,
                            int& quality, std::string& fourcc) {
  const std::vector<const CodecEntry*> codecs = AvailableCodecs(container);
  if (codecs.empty()) {
    ShowErrorBox("No encoder for this kind of movie is available on this system",
                 MessageSink::kNoCode);
    return false;
  }
  const CodecEntry* stored = FindCodec(container, settings.GetSetting("CodecType", ""));
  std::vector<std::string> descriptions, values;
  for (const CodecEntry* codec : codecs) {
    descriptions.push_back(std::string(descriptions.empty() ? "@RCompressor|" : "@R") +
                           std::string(codec->description));
    values.push_back(codec == stored ? "1" : "");
  }
  if (stored == nullptr || std::find(codecs.begin(), codecs.end(), stored) == codecs.end()) {
    values[0] = "1";
  }
  descriptions.push_back("@SQuality");
  values.push_back(std::to_string(quality));
  if (RunDescribedDialog(host, 50, 50, descriptions, values, "Compression Settings") != 1) {
    return false;
  }
  for (size_t i = 0; i < codecs.size(); ++i) {
    if (!values[i].empty()) fourcc = std::string(codecs[i]->fourcc);
  }
  quality = std::clamp(std::atoi(values.back().c_str()), 0, 100);
  settings.PutSetting("CodecType", fourcc);
  return true;
}

namespace {

// The Make Movie Options dialog over the Stage, filled from and written back
// to the texts. False when cancelled.
bool EditMakeMovieTexts(Stage& stage, ShowDocument& document, MakeMovieTexts& texts) {
  const std::array<std::string, 9> descriptions = {
      "Width",     "Height",    "Start Timecode",   "End Timecode",  "Head/Tail Holds",
      "FrameRate", "@SQuality", "@CRender Fields?", "@CReverse too?"};
  std::array<std::string*, 9> fields = {
      &texts.width,     &texts.height,  &texts.startTimecode, &texts.endTimecode, &texts.holds,
      &texts.frameRate, &texts.quality, &texts.renderFields,  &texts.reverseToo};
  std::array<std::string, 9> values;
  for (size_t i = 0; i < values.size(); ++i) values[i] = *fields[i];
  const int answer = RunDescribedDialog(stage, 50, 50, descriptions, values, "Make Movie Options");
  document.GoToTime(document.clock.currentTime, true);
  if (answer != 1) return false;
  for (size_t i = 0; i < values.size(); ++i) *fields[i] = values[i];
  return true;
}

// What the user sees while the movie renders: the progress panel and each
// frame's timecode on the Stage, the Timeline following; Esc or a quit stops.
// A request to close the program (its close button, the session ending) is
// not dropped as other messages are: it stops every pass and hold left, so
// that the movie is finished with the frames made, and is taken up after.
RenderCallbacks RenderFeedback(MainWindow& main, Stage& stage) {
  RenderCallbacks callbacks;
  callbacks.progress = [&stage](double fraction, std::string_view caption, int64_t startTick) {
    stage.DrawRenderProgress(fraction, caption, startTick);
  };
  callbacks.cancelRequested = [&main] {
    Message message;
    if (!PeekMessage(message)) return false;
    if (message.message == kWmQuit) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return true;
    }
    if (message.message == kWmClose && message.window == main.Handle()) {
      PostMessage(message.window, kWmClose, 0, 0);
      return true;
    }
    return message.message == kWmKeyDown && message.wParam == vk::kEscape;
  };
  callbacks.frameStarted = [&stage, &main](int32_t time) {
    stage.DrawTimecodeAndLevel(time, -1);
    main.Timeline().EnsureTimeVisible();
  };
  callbacks.repaintStage = [&stage] { stage.Repaint(); };
  return callbacks;
}

}  // namespace

bool MakeMovieCommand(MainWindow& main, Stage& stage, ShowDocument& document,
                      SettingsStore& settings) {
  // A movie is delivered to others: a stand-in must not slip into it unseen.
  if (const auto placeholders = UnreadablePicturesOf(document);
      !placeholders.empty() &&
      !AskYesNoDefaultNo(PlaceholderMovieQuestion(placeholders), "Make Movie")) {
    return false;
  }
  const int32_t rate = document.clock.frameRate;
  const int32_t end = ShowEndTime(document);
  MakeMovieTexts texts = ReadMakeMovieTexts(settings, end, rate);
  if (!EditMakeMovieTexts(stage, document, texts)) return false;

  // A size that cannot be a movie is named, not reported as lack of memory.
  if (const std::string problem = MovieSizeProblem(texts.width, texts.height); !problem.empty()) {
    ShowErrorBox(problem, MessageSink::kNoCode);
    return false;
  }
  MakeMovieRequest request;
  request.options = BuildMakeMovieOptions(texts, end, rate);
  NormaliseTimecodeTexts(texts, request.options, rate);
  // Told before a file is chosen for it.
  if (const std::string empty = NoFramesDetail(request.options); !empty.empty()) {
    ShowErrorBox(std::string(kNoFramesMessage) + "\n" + empty, MessageSink::kNoCode);
    return false;
  }

  const MovieFileChoice choice = MovieFileFilter(settings.GetSettingInt("MovieType", 0));
  FileSpec& output = request.output;
  const FileDialogFolder folder = LoadStartingFolder(settings);
  output.volumeRef = folder.volumeRef;
  output.parentId = folder.parentId;
  output.SetPath(MovieNameProposal(document.showFile.Path()));
  if (!SaveFileDialog(&main, output, choice.filter, choice.extension, folder.path)) {
    return false;
  }
  stage.Repaint();

  const std::string_view path = output.Path();
  const MovieKind kind = MovieKindFromPath(path);
  if (kind == MovieKind::kUnwritable) {
    ShowErrorBox(UnwritableNameMessage(path), MessageSink::kNoCode);
    return false;
  }
  // The file dialog's "replace?" does not know that the show reads the file.
  if (const std::string input = ShowInputAt(document, path); !input.empty()) {
    ShowErrorBox(MovieOverInputDetail(path, input), MessageSink::kNoCode);
    return false;
  }
  if (const std::optional<MovieContainer> container = CodecContainer(kind)) {
    int quality = request.options.quality;
    if (!ChooseMovieCompression(stage, settings, *container, quality, request.codecType)) {
      return false;
    }
    request.options.quality = quality;
  }
  document.GoToTime(document.clock.currentTime, true);

  const RenderCallbacks callbacks = RenderFeedback(main, stage);
  const CommandsHeld held;  // the run takes only Esc and the close request
  SetCursor(kCursorWait);
  MessageBoxSink messages;  // the outcome with its own icon
  const MakeMovieOutcome outcome =
      MakeMovieRun(document, request, callbacks, &messages, &settings, &texts);
  SetCursor(kCursorArrow);
  document.GoToTime(document.clock.currentTime, true);
  return outcome.status == MakeMovieStatus::kMade;
}

}  // namespace vantoril

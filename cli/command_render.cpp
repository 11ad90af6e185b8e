#include <array>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/progress_bar.h"
#include "engine/band_pool.h"
#include "engine/compositor.h"
#include "engine/show_file.h"
#include "engine/timecode.h"
#include "output/codec_table.h"
#include "output/make_movie_run.h"
#include "output/movie_join.h"
#include "output/movie_writer.h"

namespace vantoril::cli {

namespace {

volatile std::sig_atomic_t stopRequests = 0;
volatile std::sig_atomic_t terminated = 0;

extern "C" void OnStopSignal(int signal) {
  if (signal == SIGTERM) {
    terminated = 1;
  } else {
    stopRequests = stopRequests + 1;
  }
}

// Ctrl+C stops a pass as Esc does in the program; the movie is still
// finished. A request to end the program (a shutdown, a batch system's time
// limit) stops every pass and hold that is left, so that the movie is
// finished, with the frames made, before the program ends. The handlers are
// in place only while rendering or joining; a join stops at once and makes
// nothing.
class InterruptGuard {
 public:
  InterruptGuard() {
    stopRequests = 0;
    terminated = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A signal ignored from the start stays ignored: a shell script's
    // background jobs are not meant to stop on the terminal's Ctrl+C.
    sigaction(SIGINT, nullptr, &previousInterrupt_);
    sigaction(SIGTERM, nullptr, &previousTerminate_);
    if (previousInterrupt_.sa_handler != SIG_IGN) sigaction(SIGINT, &action, nullptr);
    if (previousTerminate_.sa_handler != SIG_IGN) sigaction(SIGTERM, &action, nullptr);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // The signal that stopped the render, 0 for none.
  static int StopSignal() {
    if (terminated != 0) return SIGTERM;
    return stopRequests > 0 ? SIGINT : 0;
  }

  // `status`, or the status that ends the program as the stop signal would.
  static int StatusAfterStop(int status) {
    const int signal = StopSignal();
    return signal != 0 ? kExitBySignal + signal : status;
  }

  // True once for each Ctrl+C, and always once the program is to end.
  bool TakeRequest() {
    if (terminated != 0) {
      return true;
    }
    if (stopRequests > seen_) {
      ++seen_;
      return true;
    }
    return false;
  }

 private:
  struct sigaction previousInterrupt_ {};
  struct sigaction previousTerminate_ {};
  std::sig_atomic_t seen_ = 0;
};

// More bands than this only cost: a frame is at most 4096 rows.
constexpr int kMaxThreads = 256;

// The codec for a movie: the one asked for, else "CodecType" when the
// container can write it, else the container's default.
std::optional<std::string> ChooseCodec(const Arguments& arguments, MovieKind kind,
                                       const SettingsStore& settings) {
  const std::optional<MovieContainer> chosen = CodecContainer(kind);
  if (!chosen) {
    return std::string();
  }
  const MovieContainer container = *chosen;
  const auto usable = [&](std::string_view fourcc) -> const CodecEntry* {
    const CodecEntry* entry = FindCodec(container, fourcc);
    return entry && EncoderAvailable(*entry) ? entry : nullptr;
  };
  if (const auto asked = arguments.Value("--codec")) {
    if (const std::string_view refusal = CodecRefusal(container, *asked); !refusal.empty()) {
      std::cerr << "vantoril-cli: " << refusal << '\n';
      return std::nullopt;
    }
    if (!usable(*asked)) {
      std::cerr << "vantoril-cli: " << ContainerName(container)
                << " movies cannot be written with \"" << *asked
                << "\" here (see vantoril-cli codecs)\n";
      return std::nullopt;
    }
    return *asked;
  }
  std::string fourcc = settings.GetSetting("CodecType", "");
  const CodecEntry* entry = fourcc.empty() ? nullptr : usable(fourcc);
  if (!entry) {
    // Lossless where the container has it; MP4 takes H.264, else HEVC.
    static constexpr std::array<std::array<std::string_view, 2>, 4> kDefaults = {
        {{"FFV1", ""}, {"rle ", ""}, {"avc1", "hvc1"}, {"FFV1", ""}}};
    for (const std::string_view code : kDefaults[static_cast<size_t>(container)]) {
      if (!entry && !code.empty()) entry = usable(code);
    }
  }
  if (!entry) {
    std::cerr << "vantoril-cli: no default " << ContainerName(container)
              << " codec in this build (see vantoril-cli codecs)\n";
    return std::nullopt;
  }
  std::cerr << "vantoril-cli: writing " << ContainerName(container) << " with \"" << entry->fourcc
            << "\" (" << entry->description << ")\n";
  return std::string(entry->fourcc);
}

// The window of "K/N" over the frames the whole movie holds: both passes
// with their holds.
std::optional<FrameWindow> PartOfMovie(std::string_view text, const MakeMovieOptions& options) {
  const size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const auto part = ParseWholeNumber(text.substr(0, slash));
  const auto parts = ParseWholeNumber(text.substr(slash + 1));
  if (!part || !parts || *parts < 1 || *part < 1 || *part > *parts) return std::nullopt;
  return PartWindow(MovieFrames(options), *part, *parts);
}

// The texts the options dialog would hold, from the options, with the
// dialog's defaults; the end timecode waits for the show. A usage error
// (told on stderr) gives its exit status.
std::optional<int> ReadRenderTexts(const Arguments& arguments, MakeMovieTexts& texts) {
  texts.width = arguments.Value("--width").value_or("720");
  texts.height = arguments.Value("--height").value_or("480");
  texts.startTimecode = arguments.Value("--start").value_or("00:00:00");
  texts.holds = arguments.Value("--hold").value_or("00:00:00");
  texts.frameRate = arguments.Value("--fps").value_or("29.97");
  texts.quality = arguments.Value("--quality").value_or("100");
  texts.renderFields = arguments.Has("--no-fields") ? "" : "1";
  texts.reverseToo = arguments.Has("--reverse") ? "1" : "";
  for (const auto* side : {&texts.width, &texts.height}) {
    const auto value = ParseWholeNumber(*side);
    if (!value || *value < 1) {
      return UsageError("--width and --height take a number of pixels from 1");
    }
  }
  // A timecode without a digit would leave the dialog's value as it was.
  for (const char* option : {"--start", "--end", "--hold"}) {
    int32_t probe = 0;
    if (const auto text = arguments.Value(option); text && !ParseTimecode(probe, *text, 2997)) {
      return UsageError(std::string(option) + " takes a timecode such as 00:01:15");
    }
  }
  const auto quality = ParseWholeNumber(texts.quality);
  if (!quality || *quality < 0 || *quality > 100) {
    return UsageError("--quality takes 0 to 100");
  }
  return std::nullopt;
}

// How many bands compose a frame: --threads, else every core.
std::optional<int> ReadThreads(const Arguments& arguments, ComposeOptions& composeOptions) {
  composeOptions.bands = CoreCount();
  if (const auto threads = arguments.Value("--threads")) {
    const auto value = ParseWholeNumber(*threads);
    if (!value || *value < 1 || *value > kMaxThreads) {
      return UsageError("--threads takes 1 to " + std::to_string(kMaxThreads));
    }
    composeOptions.bands = *value;
  }
  return std::nullopt;
}

// The writer's codec for the request's file; refused names and codecs give
// the usage status.
std::optional<int> ChooseMovieCodec(const Arguments& arguments, MakeMovieRequest& request) {
  SettingsStore settings;
  settings.LoadSettings();
  const MovieKind kind = MovieKindFromPath(request.output.Path());
  if (kind == MovieKind::kUnwritable) {
    std::cerr << "vantoril-cli: " << UnwritableNameMessage(request.output.Path()) << '\n';
    return kExitUsage;
  }
  const auto codec = ChooseCodec(arguments, kind, settings);
  if (!codec) {
    return kExitUsage;
  }
  request.codecType = *codec;
  return std::nullopt;
}

// The closing line: what was composed (the null sink) or written.
void ReportRender(const MakeMovieOutcome& outcome, const MakeMovieRequest& request,
                  const ComposeOptions& composeOptions, int64_t composed, double seconds) {
  const char* stopped = outcome.cancelled ? " (stopped early)" : "";
  if (request.discardFrames) {
    char rate[64];
    std::snprintf(rate, sizeof rate, "%.3f s, %.1f frames/s", seconds,
                  seconds > 0 ? static_cast<double>(composed) / seconds : 0.0);
    std::cerr << "vantoril-cli: " << composed << " frames composed (" << outcome.framesWritten
              << " with holds) in " << rate << ", " << composeOptions.bands << " thread"
              << (composeOptions.bands == 1 ? "" : "s") << stopped << '\n';
    return;
  }
  std::cerr << "vantoril-cli: " << outcome.framesWritten << " frames written to "
            << request.output.Path() << stopped << '\n';
}

}  // namespace

int RunRender(const std::vector<std::string_view>& words) {
  std::vector<std::string_view> known = kCommonOptions;
  known.insert(known.end(), {"--width", "--height", "--start", "--end", "--hold", "--fps",
                             "--quality", "--codec", "--threads", "--part"});
  const auto arguments =
      Arguments::Parse(words, known, CommonFlagsAnd({"--fields", "--no-fields", "--reverse"}));
  if (!arguments) {
    return kExitUsage;
  }
  if (arguments->Positional().size() != 2) {
    return UsageError("render takes a show file and an output file");
  }
  const auto session = CliSession::Create(*arguments);
  if (!session) {
    return kExitUsage;
  }
  ShowDocument& document = session->Document();
  MakeMovieTexts texts;
  if (const auto status = ReadRenderTexts(*arguments, texts)) return *status;
  ComposeOptions composeOptions;
  if (const auto status = ReadThreads(*arguments, composeOptions)) return *status;
  // "-" is the null sink: every frame composed, nothing written.
  const bool nullSink = arguments->Positional()[1] == "-";

  if (!session->LoadShow(arguments->Positional()[0])) {
    return kExitRefused;
  }
  // Timecodes count in the show's rate, which a background clip sets when
  // the show is loaded.
  const int32_t frameRate = document.clock.frameRate;
  const int32_t showEnd = ShowEndTime(document);
  texts.endTimecode = arguments->Value("--end").value_or(FormatTimecode(showEnd, true, frameRate));

  MakeMovieRequest request;
  request.discardFrames = nullSink;
  if (!nullSink && !request.output.SetPath(arguments->Positional()[1])) {
    session->Host().ShowMessage("The file's path is longer than 255 characters",
                                MessageSink::kNoCode);
    return kExitRefused;
  }
  request.options = BuildMakeMovieOptions(texts, showEnd, frameRate);
  if (request.options.frameRate <= 0) {
    return UsageError("--fps takes a frame rate above 0 (at most 60)");
  }
  // A side past the movie's largest is cut back to it, as in the options
  // dialog; the command line says so.
  if (ParseWholeNumber(texts.width).value_or(0) > request.options.width ||
      ParseWholeNumber(texts.height).value_or(0) > request.options.height) {
    std::cerr << "vantoril-cli: a movie is at most " << kLargestMovieSide
              << " pixels a side: this one is " << request.options.width << " x "
              << request.options.height << '\n';
  }
  double askedRate = 0.0;
  std::from_chars(texts.frameRate.data(), texts.frameRate.data() + texts.frameRate.size(),
                  askedRate);
  if (askedRate > kLargestMovieRate) {
    std::cerr << "vantoril-cli: a movie plays at most " << kLargestMovieRate
              << " frames a second: this one plays " << request.options.frameRate << '\n';
  }
  if (!nullSink) {
    if (const auto status = ChooseMovieCodec(*arguments, request)) return *status;
  }

  RenderCallbacks callbacks;
  if (const auto part = arguments->Value("--part")) {
    const auto window = PartOfMovie(*part, request.options);
    if (!window) {
      return UsageError("--part takes K/N: part K (from 1) of N equal parts, such as 2/8");
    }
    callbacks.window = *window;
    std::cerr << "vantoril-cli: part " << *part << ": frames " << window->first << " to "
              << window->end - 1 << " of the whole movie\n";
  }
  if (const size_t count = session->UnreadablePictures().size(); count > 0) {
    std::cerr << "vantoril-cli: " << count << (count == 1 ? " picture" : " pictures")
              << " of this show could not be read and "
              << (count == 1 ? "renders as a placeholder" : "render as placeholders") << '\n';
  }
  // The sound track plays with the preview only; a silent movie is no surprise.
  if (!nullSink && document.soundFile.HasPath()) {
    std::cerr << "vantoril-cli: the show's sound track (" << document.soundFile.Path()
              << ") is not part of the movie\n";
  }
  ProgressBar progress;
  InterruptGuard interrupt;
  callbacks.progress = [&](double fraction, std::string_view caption, int64_t startTick) {
    progress.Show(fraction, caption, startTick);
  };
  callbacks.cancelRequested = [&] { return interrupt.TakeRequest(); };
  int64_t composed = 0;
  callbacks.compose = [&](ShowDocument& show, int32_t time, FieldMode fieldMode,
                          ImageBuffer& frame) {
    ++composed;
    return ComposeFrameWith(show, time, fieldMode, 1, frame, composeOptions);
  };

  const auto started = std::chrono::steady_clock::now();
  // The null sink makes no movie, so the program's "made" message would not
  // be true; its failures and a damaged clip are reported below.
  const MakeMovieOutcome outcome =
      MakeMovieRun(document, request, callbacks, nullSink ? nullptr : &session->Host());
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
  progress.Finish();
  if (outcome.status != MakeMovieStatus::kMade) {
    // A movie's failure was told with its detail; the null sink's is told here.
    if (nullSink) {
      session->Host().ShowMessage(MakeMovieMessage(outcome.status), MessageSink::kNoCode);
      if (!outcome.detail.empty()) std::cerr << "vantoril-cli: " << outcome.detail << '\n';
    }
    return kExitRefused;
  }
  if (nullSink && !outcome.clipDamage.empty()) {
    session->Host().ShowMessage(outcome.clipDamage, MessageSink::kNoCode);
  }
  ReportRender(outcome, request, composeOptions, composed, elapsed.count());
  return InterruptGuard::StatusAfterStop(kExitOk);
}

int RunCodecs(const std::vector<std::string_view>& words) {
  if (!words.empty()) {
    return UsageError("codecs takes no arguments");
  }
  for (const MovieContainer container : {MovieContainer::kAvi, MovieContainer::kQuickTime,
                                         MovieContainer::kMp4, MovieContainer::kMatroska}) {
    std::cout << ContainerName(container) << ":\n";
    for (const CodecEntry* entry : AvailableCodecs(container)) {
      // Said once: some descriptions say it themselves.
      const std::string_view description = entry->description;
      const bool says = description.find("lossless") != std::string_view::npos;
      std::cout << "  \"" << entry->fourcc << "\"  " << description
                << (entry->lossless && !says ? " (lossless)" : "") << '\n';
    }
  }
  return kExitOk;
}

}  // namespace vantoril::cli

namespace vantoril::cli {

int RunJoin(const std::vector<std::string_view>& words) {
  if (words.size() < 2) {
    return UsageError("join takes the movie to make and its parts, in order");
  }
  const std::vector<std::string> parts(words.begin() + 1, words.end());
  const std::string output(words.front());
  std::string failure;
  {
    const InterruptGuard interrupt;
    failure = JoinMovies(parts, output, [] { return InterruptGuard::StopSignal() != 0; });
  }
  if (!failure.empty()) {
    std::cerr << "vantoril-cli: " << failure << '\n';
    return InterruptGuard::StatusAfterStop(kExitRefused);
  }
  std::cerr << "vantoril-cli: " << parts.size() << " parts joined into " << output << '\n';
  return InterruptGuard::StatusAfterStop(kExitOk);
}

}  // namespace vantoril::cli

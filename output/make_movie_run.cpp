#include "output/make_movie_run.h"

#include <algorithm>
#include <climits>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "engine/compositor.h"
#include "engine/message_sink.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "engine/show_inputs.h"
#include "output/frame_handoff.h"
#include "output/movie_writer.h"

namespace vantoril {

std::string_view MakeMovieMessage(MakeMovieStatus status) {
  switch (status) {
    case MakeMovieStatus::kNotEnoughMemory:
      return kNotEnoughMemoryMessage;
    case MakeMovieStatus::kOpenFailed:
      return kErrorOpeningMovieMessage;
    case MakeMovieStatus::kWriteFailed:
      return kErrorWritingMovieMessage;
    case MakeMovieStatus::kNoFrames:
      return kNoFramesMessage;
    case MakeMovieStatus::kMade:
      break;
  }
  return kMovieMadeMessage;
}

std::string MovieStoppedMessage(int32_t framesWritten, int32_t totalFrames) {
  return "Movie stopped after " + std::to_string(framesWritten) + " of " +
         std::to_string(totalFrames) + " frames";
}

std::string UndecodedClipMessage(const UndecodedClipFrames& undecoded, std::string_view clip) {
  const std::string frames = undecoded.first == undecoded.last
                                 ? "clip frame " + std::to_string(undecoded.first)
                                 : "between clip frames " + std::to_string(undecoded.first) +
                                       " and " + std::to_string(undecoded.last);
  return "Some frames of the background clip could not be decoded (" + frames +
         "); the background stays as it was for them.\n" + std::string(clip);
}

ClipDamageWatch::ClipDamageWatch(const ShowDocument& document)
    : document_(document),
      readsBefore_(document.Clip() != nullptr ? document.Clip()->Undecoded().reads : 0) {}

std::string ClipDamageWatch::Message() const {
  const BackgroundClip* clip = document_.Clip();
  if (clip == nullptr || clip->Undecoded().reads <= readsBefore_) return {};
  return UndecodedClipMessage(clip->Undecoded(), document_.backgroundFile.Path());
}

std::string NoFramesDetail(const MakeMovieOptions& options, const FrameWindow& window) {
  const int64_t total = MovieFrames(options);
  if (total == 0) return "The start and end timecodes are the same frame";
  if (std::max<int64_t>(window.first, 0) >= std::min(window.end, total)) {
    return "The part asked for holds none of the movie's " + std::to_string(total) + " frames";
  }
  return {};
}

std::string_view FolderOfPath(std::string_view path) {
  const size_t last = path.find_last_of("\\:/");
  return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

std::string MovieOverInputDetail(std::string_view path, std::string_view input) {
  return std::string(path) + " is " + std::string(input) +
         ": a movie is never written over what the show reads";
}

namespace {

MakeMovieOutcome RunPasses(ShowDocument& document, const MakeMovieRequest& request,
                           const RenderCallbacks& givenCallbacks, MessageSink* messages,
                           SettingsStore* settings) {
  // A stop request that cut a hold short stops the movie as much as one that
  // ended a frame loop.
  bool stopRequested = false;
  RenderCallbacks callbacks = givenCallbacks;
  if (givenCallbacks.cancelRequested) {
    callbacks.cancelRequested = [&] {
      const bool stop = givenCallbacks.cancelRequested();
      stopRequested = stopRequested || stop;
      return stop;
    };
  }
  const MakeMovieOptions& options = request.options;
  MakeMovieOutcome outcome;
  // An empty movie is refused before its file is made: no player reads one,
  // and an older movie of the name would be lost for it.
  if (const std::string empty = NoFramesDetail(options, callbacks.window); !empty.empty()) {
    outcome.status = MakeMovieStatus::kNoFrames;
    outcome.detail = empty;
    return outcome;
  }
  document.GoToTime(document.clock.currentTime, true);

  MovieWriter writer;
  std::optional<FrameHandoff> handoff;
  if (request.discardFrames) {
    handoff.emplace();
  } else {
    handoff.emplace(writer);
  }
  FrameHandoff& frames = *handoff;
  if (!frames.Create(options.width, options.height)) {
    outcome.status = MakeMovieStatus::kNotEnoughMemory;
    return outcome;
  }

  const std::string path(request.output.Path());
  if (!request.discardFrames) {
    if (const std::string input = ShowInputAt(document, path); !input.empty()) {
      outcome.status = MakeMovieStatus::kOpenFailed;
      outcome.detail = MovieOverInputDetail(path, input);
      return outcome;
    }
  }
  if (settings != nullptr && !request.discardFrames)
    settings->PutSettingInt("MovieType", MovieTypeFromPath(path));

  MovieRequest movie;
  movie.path = path;
  movie.codecType = request.codecType;
  movie.frameRate = static_cast<float>(options.frameRate);
  movie.quality = options.quality;
  movie.totalFrames = options.totalFrames;
  movie.libraryFolder = request.libraryFolder;
  if (callbacks.window.first > 0 && callbacks.window.first <= INT32_MAX) {
    movie.firstFrameNumber = static_cast<int32_t>(callbacks.window.first);
  }
  // The stage's proportions, whatever the movie's size.
  if (document.aspect < 0.7f) {
    movie.displayAspectWidth = 16;
    movie.displayAspectHeight = 9;
  }
  // With both fields in one frame the later moment lies on the even display
  // lines (the top field) unless the field order is swapped.
  if (options.fieldMode == FieldMode::kInterlacedFields) {
    movie.fieldOrder = document.fieldSwap ? FieldOrder::kTopFirst : FieldOrder::kBottomFirst;
  }
  if (!request.discardFrames) writer = MovieWriter::Open(movie, frames.Current(), messages);
  if (!request.discardFrames && !writer.IsOpen()) {
    outcome.status = MakeMovieStatus::kOpenFailed;
    outcome.detail = writer.ErrorDetail();
    return outcome;
  }
  if (callbacks.repaintStage) callbacks.repaintStage();

  PassResult pass = RenderRange(document, frames, options.fieldMode, options.startTime,
                                options.endTime, options.holdFrames, callbacks);
  outcome.cancelled = pass.cancelled;
  if (pass.writesAccepted && options.reverseToo) {
    // The reverse pass follows the whole forward pass in the movie.
    pass = RenderRange(document, frames, options.fieldMode, options.endTime, options.startTime,
                       options.holdFrames, callbacks, PassFrames(options));
    outcome.cancelled = outcome.cancelled || pass.cancelled;
  }
  frames.Finish();
  outcome.cancelled = outcome.cancelled || stopRequested;
  outcome.framesWritten = frames.FramesWritten();
  const bool closed = request.discardFrames || writer.CloseMovieWriter();
  if (!pass.writesAccepted || !closed) {
    outcome.status = MakeMovieStatus::kWriteFailed;
    outcome.detail = writer.ErrorDetail();
  }
  return outcome;
}

}  // namespace

MakeMovieOutcome MakeMovieRun(ShowDocument& document, const MakeMovieRequest& request,
                              const RenderCallbacks& callbacks, MessageSink* messages,
                              SettingsStore* settings, const MakeMovieTexts* texts) {
  MakeMovieOutcome outcome;
  const ClipDamageWatch clipDamage(document);
  try {
    outcome = RunPasses(document, request, callbacks, messages, settings);
  } catch (const std::bad_alloc&) {
    outcome.status = MakeMovieStatus::kNotEnoughMemory;
  } catch (const std::system_error&) {  // no thread for the writer
    outcome.status = MakeMovieStatus::kNotEnoughMemory;
  }
  outcome.clipDamage = clipDamage.Message();
  if (outcome.status == MakeMovieStatus::kMade && settings != nullptr && !request.discardFrames) {
    const std::string_view path = request.output.Path();
    settings->PutSetting("InitialFolder", FolderOfPath(path));
    settings->PutSettingInt("InitialVrefnum", request.output.volumeRef);
    settings->PutSettingInt("InitialParID", request.output.parentId);
    if (texts != nullptr) StoreMakeMovieTexts(*settings, *texts);
  }
  if (messages == nullptr) return outcome;
  if (outcome.status != MakeMovieStatus::kMade) {
    // The fixed text first (scripts match it), then why.
    std::string text(MakeMovieMessage(outcome.status));
    if (!outcome.detail.empty()) text += "\n" + outcome.detail;
    messages->ShowMessage(text, MessageSink::kNoCode);
  } else if (outcome.cancelled) {
    messages->ShowInformation(
        MovieStoppedMessage(outcome.framesWritten, request.options.totalFrames));
  } else {
    messages->ShowInformation(kMovieMadeMessage);
  }
  // A damaged clip does not stop the movie, but it is not what the show is.
  if (!outcome.clipDamage.empty()) messages->ShowMessage(outcome.clipDamage, MessageSink::kNoCode);
  return outcome;
}

}  // namespace vantoril

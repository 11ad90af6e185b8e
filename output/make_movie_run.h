#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/background_clip.h"
#include "engine/file_spec.h"
#include "output/make_movie_options.h"
#include "output/render_range.h"

namespace vantoril {

class MessageSink;
class SettingsStore;
class ShowDocument;

inline constexpr std::string_view kNotEnoughMemoryMessage = "Not Enough Memory to Make Movie";
inline constexpr std::string_view kErrorOpeningMovieMessage = "Error Opening Movie File";
inline constexpr std::string_view kErrorWritingMovieMessage = "Error Writing Movie File";
inline constexpr std::string_view kMovieMadeMessage = "Movie file(s) successfully made";
inline constexpr std::string_view kNoFramesMessage = "The movie would hold no frame";

// One movie to make, once its options and output file are chosen.
struct MakeMovieRequest {
  FileSpec output;  // the movie file; its kind follows the path
  MakeMovieOptions options;
  std::string codecType;  // the four characters of "CodecType"; empty: the default
  // Where the DPS and RTV libraries are looked for; empty: the usual places.
  std::filesystem::path libraryFolder;
  // A null sink: every frame is composed as for the movie and dropped; no
  // file is made and `output` is not used.
  bool discardFrames = false;
};

enum class MakeMovieStatus {
  kMade,             // the movie is complete (also when a stop request cut it short)
  kNotEnoughMemory,  // the frame buffers could not be made (also for a side of 0)
  kOpenFailed,       // the writer did not open, or the file is one the show reads
  kWriteFailed,      // a frame or the file's end was refused; the file holds what was written
  kNoFrames,         // the range (or the part of it asked for) holds no frame; no file is made
};

struct MakeMovieOutcome {
  MakeMovieStatus status = MakeMovieStatus::kMade;
  int32_t framesWritten = 0;
  bool cancelled = false;  // a stop request ended a pass early
  std::string detail;      // the writer's reason for a failure
  std::string clipDamage;  // UndecodedClipMessage for this run, empty when none
};

// The message the user sees for a status.
std::string_view MakeMovieMessage(MakeMovieStatus status);
// "Movie stopped after N of M frames", for a movie cut short on request.
std::string MovieStoppedMessage(int32_t framesWritten, int32_t totalFrames);
// Told after a render (and a frame of the command line) in which frames of
// the background clip could not be decoded: the range, then the clip.
std::string UndecodedClipMessage(const UndecodedClipFrames& undecoded, std::string_view clip);

// Watches the show's background clip from its making on: Message() is
// UndecodedClipMessage when frames of the clip failed to decode since,
// empty otherwise.
class ClipDamageWatch {
 public:
  explicit ClipDamageWatch(const ShowDocument& document);
  std::string Message() const;

 private:
  const ShowDocument& document_;
  int64_t readsBefore_;
};

// Makes the movie: creates the frame buffers, opens the writer chosen by the
// path, renders the forward pass and, when asked, the reverse pass, and
// closes the file. The message of the outcome goes to `messages`: a movie
// made (whole, or stopped on request) as information, a failure as an error
// (its fixed text, then the detail on a line of its own); then, when frames
// of the background clip could not be decoded, outcome.clipDamage.
// With a settings store, "MovieType" is stored once the type is known, and
// after a movie was made "InitialFolder", "InitialVrefnum", "InitialParID"
// and the texts (when given). Without one nothing is stored.
MakeMovieOutcome MakeMovieRun(ShowDocument& document, const MakeMovieRequest& request,
                              const RenderCallbacks& callbacks, MessageSink* messages,
                              SettingsStore* settings = nullptr,
                              const MakeMovieTexts* texts = nullptr);

// Why a movie cannot be written at `path`, which is `input` of the show (as
// ShowInputAt names it).
std::string MovieOverInputDetail(std::string_view path, std::string_view input);

// Why the movie, or the part of it in `window`, would hold no frame; empty
// when it holds one.
std::string NoFramesDetail(const MakeMovieOptions& options, const FrameWindow& window = {});

// The folder part of a path: up to and including its last "\", ":" or "/".
std::string_view FolderOfPath(std::string_view path);

}  // namespace vantoril

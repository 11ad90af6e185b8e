#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "output/codec_table.h"

namespace vantoril {

class ImageBuffer;
class MessageSink;
class MovieBackend;

// The writer kinds, numbered as the program numbers them.
enum class MovieKind : int32_t {
  kAvi = 0,
  kDps = 100,
  kQuickTime = 200,
  kRtv = 300,
  kImageSequence = 400,  // numbered PNG files
  kMp4 = 500,
  kMatroska = 600,
  kUnwritable = -1,  // a media name this program cannot write
};

// The writer for a path. A name ending in ".mp4" or ".mkv" (any case) gives
// MP4 or Matroska; one ending in another media extension that cannot be
// written (".webm", ".m4v", ".gif" ...) gives kUnwritable. Otherwise:
// contains ".mov" gives QuickTime, else ".dps" DPS, else ".rtv" RTV
// (anywhere in the path, exact case), else one printf-style frame number
// ("f%05d.png", at most 19 digits wide) an image sequence, else a picture's
// name (".png", ".jpg" ...) kUnwritable, else AVI.
MovieKind MovieKindFromPath(std::string_view path);

// The container whose codecs a kind is written with; empty for the kinds
// without a choice of codec (DPS, RTV, image sequences, unwritable names).
std::optional<MovieContainer> CodecContainer(MovieKind kind);

// What the user is told for a name of kind kUnwritable: the extension and
// the containers that can be written.
std::string UnwritableNameMessage(std::string_view path);

// The "MovieType" setting for a path: contains ".dps" gives 2, else ".mov" 1,
// else ".rtv" 3, else 0; MP4 and Matroska names give 4 and 5. (Tested in
// another order than the writer's.)
int32_t MovieTypeFromPath(std::string_view path);

// Whether the path holds one printf-style frame number: "%d" or "%0Nd".
bool IsImageSequencePath(std::string_view path);

// How the frames' lines belong to time: one picture, or two fields of which
// the top (first display line) or the bottom one is the earlier.
enum class FieldOrder { kProgressive, kTopFirst, kBottomFirst };

// What a movie is opened with.
struct MovieRequest {
  std::string path;
  std::string codecType;     // the four characters of "CodecType"; empty: the default
  float frameRate = 29.97f;  // frames per second; labels the movie only
  int32_t quality = 100;     // 0..100
  int32_t totalFrames = 0;   // announced to DPS files
  // Interlaced frames are marked as such, and coded as two fields by the
  // codecs that can (ProRes, H.264).
  FieldOrder fieldOrder = FieldOrder::kProgressive;
  // The display aspect the whole frame is seen at (the stage's: 4:3, or 16:9
  // with the wide stage); every movie carries the pixel aspect that follows.
  // Image sequences: the number of the first file (a part of a movie
  // continues its numbering); other movies start at frame 0.
  int32_t firstFrameNumber = 0;
  int32_t displayAspectWidth = 4;
  int32_t displayAspectHeight = 3;
  // Where the DPS and RTV libraries are looked for; empty: the program's
  // folder, then the system's library paths.
  std::filesystem::path libraryFolder;
};

// Frames per second x 100, rounded: 29.97 gives 2997. The AVI rate over a
// scale of 100, and the QuickTime time scale over samples of 100 units.
int32_t MovieRateTimes100(float frameRate);

// The pixel (sample) aspect that shows a width x height frame at the display
// aspect: display aspect x height / width, reduced. 720 x 480 at 4:3 gives
// 8:9, at 16:9 32:27; 640 x 480 at 4:3 gives 1:1.
struct PixelAspect {
  int32_t num = 1;
  int32_t den = 1;
};
PixelAspect SampleAspect(int32_t displayWidth, int32_t displayHeight, int32_t width,
                         int32_t height);

// One open movie file of any kind. Move-only; a writer that is still open
// when it goes is closed (the file is finished).
//
// Frames are 32-bit image buffers (bottom-up, blue, green, red, alpha) of the
// size the movie was opened with. Movies are opaque: the frames' alpha is not
// written.
class MovieWriter {
 public:
  MovieWriter();
  ~MovieWriter();
  MovieWriter(MovieWriter&&) noexcept;
  MovieWriter& operator=(MovieWriter&&) noexcept;

  // OpenMovieWriter: picks the writer by the path and opens it for frames of
  // `frame`'s size. Fails (the result is not open) for a rate that rounds to
  // 0 hundredths of a frame per second (0, or text that was not a number),
  // a frame that is not 32 bits, an unknown or missing
  // codec, a DPS frame that is not 720 x 486 (720 x 576 at 25), a missing
  // library, or a file that cannot be made. Only the RTV library shows a
  // message of its own (through `messages`).
  static MovieWriter Open(const MovieRequest& request, const ImageBuffer& frame,
                          MessageSink* messages = nullptr);

  bool IsOpen() const { return backend_ != nullptr; }
  MovieKind Kind() const { return kind_; }
  // The number the next frame written with -1 gets; 0 after every open
  // (an image sequence's first file number).
  int32_t NextFrame() const { return nextFrame_; }

  // WriteMovieFrame: -1 writes the next frame. A number at or beyond the next
  // frame writes there (the movie skips the frames between); an earlier one
  // is refused, as is a frame of another size or depth. False when the frame
  // was not accepted.
  bool WriteMovieFrame(int32_t frameNumber, const ImageBuffer& frame);

  // CloseMovieWriter: finishes the file; true when it was written whole.
  // A writer that failed a frame is still finished, so the frames before the
  // failure stay playable.
  bool CloseMovieWriter();

  // Why the last open, write or close failed, for logs and the command line;
  // the user sees the program's fixed messages.
  const std::string& ErrorDetail() const { return errorDetail_; }

 private:
  std::unique_ptr<MovieBackend> backend_;
  MovieKind kind_ = MovieKind::kAvi;
  int32_t nextFrame_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::string errorDetail_;
};

}  // namespace vantoril

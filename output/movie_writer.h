#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

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
};

// The writer for a path: contains ".mov" gives QuickTime, else ".dps" DPS,
// else ".rtv" RTV (anywhere in the path, exact case), else a printf-style
// frame number ("f%05d.png") an image sequence, else AVI.
MovieKind MovieKindFromPath(std::string_view path);

// The "MovieType" setting for a path: contains ".dps" gives 2, else ".mov" 1,
// else ".rtv" 3, else 0. (Tested in another order than the writer's.)
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
  // Where the DPS and RTV libraries are looked for; empty: the program's
  // folder, then the system's library paths.
  std::filesystem::path libraryFolder;
};

// Frames per second x 100, rounded: 29.97 gives 2997. The AVI rate over a
// scale of 100, and the QuickTime time scale over samples of 100 units.
int32_t MovieRateTimes100(float frameRate);

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
  // The number the next frame written with -1 gets; 0 after every open.
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

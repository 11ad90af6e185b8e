#include "output/movie_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <numeric>
#include <utility>

#include "engine/image_buffer.h"
#include "engine/message_sink.h"
#include "output/dps_writer.h"
#include "output/movie_backend.h"
#include "output/rtv_writer.h"

namespace vantoril {
namespace {

bool Contains(std::string_view path, std::string_view part) {
  return path.find(part) != std::string_view::npos;
}

class DpsMovie final : public MovieBackend {
 public:
  int Open(const MovieRequest& request, int32_t rateMilli, int32_t height) {
    return dps_.OpenDpsWriter(request.path, rateMilli, request.totalFrames, request.quality, 32,
                              height, request.libraryFolder);
  }
  bool WriteFrame(int32_t, const ImageBuffer& frame) override {
    lastCode_ = dps_.WriteDpsFrame(frame.PixelBlock(), frame.BitsPerPixel());
    return lastCode_ == 0;
  }
  bool Close() override {
    dps_.CloseDpsWriter();
    return true;
  }
  std::string ErrorDetail() const override {
    return lastCode_ == 1 ? "the DPS file writer refused the frame" : "the DPS encoder failed";
  }

 private:
  DpsWriter dps_;
  int lastCode_ = 0;
};

class RtvMovie final : public MovieBackend {
 public:
  bool Open(const MovieRequest& request, const ImageBuffer& frame, MessageSink* messages) {
    return rtv_.OpenRtvWriter(request.path, frame, messages, request.libraryFolder);
  }
  bool WriteFrame(int32_t frameNumber, const ImageBuffer& frame) override {
    return rtv_.WriteRtvFrame(frameNumber, frame);
  }
  bool Close() override { return rtv_.CloseRtvWriter(); }
  std::string ErrorDetail() const override { return "the RTV library refused"; }

 private:
  RtvWriter rtv_;
};

// The extension of the path's last component, in lower case; empty without one.
std::string LowerExtension(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

// Media names that would otherwise get an AVI file their readers mistrust.
constexpr std::array<std::string_view, 21> kUnwritableExtensions = {
    ".webm", ".m4v", ".mpg", ".mpeg", ".m2v", ".ts",  ".mts", ".m2ts", ".wmv", ".asf", ".gif",
    ".flv",  ".ogv", ".ogg", ".3gp",  ".mxf", ".vob", ".f4v", ".apng", ".y4m", ".dv"};

constexpr std::array<std::string_view, 9> kPictureExtensions = {
    ".png", ".jpg", ".jpeg", ".bmp", ".tif", ".tiff", ".tga", ".psd", ".webp"};

}  // namespace

MovieKind MovieKindFromPath(std::string_view path) {
  const std::string extension = LowerExtension(path);
  if (extension == ".mp4") return MovieKind::kMp4;
  if (extension == ".mkv") return MovieKind::kMatroska;
  if (std::find(kUnwritableExtensions.begin(), kUnwritableExtensions.end(), extension) !=
      kUnwritableExtensions.end()) {
    return MovieKind::kUnwritable;
  }
  if (Contains(path, ".mov")) return MovieKind::kQuickTime;
  if (Contains(path, ".dps")) return MovieKind::kDps;
  if (Contains(path, ".rtv")) return MovieKind::kRtv;
  if (IsImageSequencePath(path)) return MovieKind::kImageSequence;
  // A picture's name without a frame number would get an AVI file under it.
  if (std::find(kPictureExtensions.begin(), kPictureExtensions.end(), extension) !=
      kPictureExtensions.end()) {
    return MovieKind::kUnwritable;
  }
  return MovieKind::kAvi;
}

std::optional<MovieContainer> CodecContainer(MovieKind kind) {
  switch (kind) {
    case MovieKind::kAvi:
      return MovieContainer::kAvi;
    case MovieKind::kQuickTime:
      return MovieContainer::kQuickTime;
    case MovieKind::kMp4:
      return MovieContainer::kMp4;
    case MovieKind::kMatroska:
      return MovieContainer::kMatroska;
    default:
      return std::nullopt;
  }
}

std::string UnwritableNameMessage(std::string_view path) {
  return "Movies cannot be written as \"" + LowerExtension(path) +
         "\" files. Name the file .avi (AVI), .mov (QuickTime), .mp4 (MP4), .mkv (Matroska), "
         ".dps (DPS) or .rtv (VideoToaster), or give a numbered name such as f%05d.png for "
         "PNG pictures";
}

int32_t MovieTypeFromPath(std::string_view path) {
  const MovieKind kind = MovieKindFromPath(path);
  if (kind == MovieKind::kMp4) return 4;
  if (kind == MovieKind::kMatroska) return 5;
  if (Contains(path, ".dps")) return 2;
  if (Contains(path, ".mov")) return 1;
  if (Contains(path, ".rtv")) return 3;
  return 0;
}

bool IsImageSequencePath(std::string_view path) {
  int numbers = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '%') continue;
    if (i + 1 < path.size() && path[i + 1] == '%') {
      ++i;
      continue;
    }
    size_t j = i + 1;
    int width = 0;
    while (j < path.size() && path[j] >= '0' && path[j] <= '9') {
      width = std::min(width * 10 + (path[j] - '0'), 100);
      ++j;
    }
    // FFmpeg cuts a wider number to 19 digits, which would give every
    // frame one name.
    if (j >= path.size() || path[j] != 'd' || width > 19) return false;
    ++numbers;
    i = j;
  }
  return numbers == 1;
}

int32_t MovieRateTimes100(float frameRate) {
  // Widened from the 32-bit float, then cut: 29.97 gives 2997, 23.976 2398.
  const double rate = 100.0 * static_cast<double>(frameRate) + 0.5;
  if (!(rate >= 0.0) || rate > 1e9) return 0;  // NaN and absurd rates
  return static_cast<int32_t>(rate);
}

PixelAspect SampleAspect(int32_t displayWidth, int32_t displayHeight, int32_t width,
                         int32_t height) {
  const int64_t num = int64_t{displayWidth} * height;
  const int64_t den = int64_t{displayHeight} * width;
  if (num <= 0 || den <= 0) return {};
  const int64_t divisor = std::gcd(num, den);
  return {static_cast<int32_t>(num / divisor), static_cast<int32_t>(den / divisor)};
}

MovieWriter::MovieWriter() = default;
MovieWriter::~MovieWriter() {
  CloseMovieWriter();
}
MovieWriter::MovieWriter(MovieWriter&&) noexcept = default;

MovieWriter& MovieWriter::operator=(MovieWriter&& other) noexcept {
  if (this != &other) {
    CloseMovieWriter();
    backend_ = std::move(other.backend_);
    kind_ = other.kind_;
    nextFrame_ = other.nextFrame_;
    width_ = other.width_;
    height_ = other.height_;
    errorDetail_ = std::move(other.errorDetail_);
  }
  return *this;
}

MovieWriter MovieWriter::Open(const MovieRequest& request, const ImageBuffer& frame,
                              MessageSink* messages) {
  MovieWriter writer;
  writer.kind_ = MovieKindFromPath(request.path);
  writer.width_ = frame.Width();
  writer.height_ = frame.Height();

  // A movie needs a rate: rounded to 0 hundredths, the AVI rate and the
  // QuickTime time scale would be 0 and the file unplayable.
  const int32_t rate = MovieRateTimes100(request.frameRate);
  if (rate < 1) {
    writer.errorDetail_ = "the frame rate rounds to 0 hundredths of a frame per second";
    return writer;
  }
  if (!frame.HasHeader() || frame.BitsPerPixel() != 32) {
    writer.errorDetail_ = "frames must be 32-bit image buffers";
    return writer;
  }

  switch (writer.kind_) {
    case MovieKind::kUnwritable:
      writer.errorDetail_ = UnwritableNameMessage(request.path);
      return writer;
    case MovieKind::kDps: {
      // DPS takes 720 x 486, or 720 x 576 at exactly 25 frames per second.
      const int32_t lines = request.frameRate == 25.0f ? 576 : 486;
      if (frame.Width() != DpsWriter::kWidth || frame.Height() != lines) {
        writer.errorDetail_ = "DPS movies are 720 x " + std::to_string(lines);
        return writer;
      }
      // Thousandths, widened from the float and cut: 29.97 gives 29969.
      const auto rateMilli = static_cast<int32_t>(1000.0 * static_cast<double>(request.frameRate));
      auto dps = std::make_unique<DpsMovie>();
      const int code = dps->Open(request, rateMilli, lines);
      if (code != 0) {
        writer.errorDetail_ = DpsWriter::OpenFailureDetail(code);
        return writer;
      }
      writer.backend_ = std::move(dps);
      break;
    }
    case MovieKind::kRtv: {
      auto rtv = std::make_unique<RtvMovie>();
      const bool opened = rtv->Open(request, frame, messages);
      if (!opened) {
        // What the open made is released (the library closes its file).
        rtv->Close();
        writer.errorDetail_ = "the RTV writer failed to open";
        return writer;
      }
      writer.backend_ = std::move(rtv);
      break;
    }
    case MovieKind::kAvi:
    case MovieKind::kQuickTime:
    case MovieKind::kMp4:
    case MovieKind::kMatroska:
    case MovieKind::kImageSequence: {
      BackendResult result =
          OpenFfmpegMovie(writer.kind_, request, rate, frame.Width(), frame.Height());
      if (result.backend == nullptr) {
        writer.errorDetail_ = std::move(result.errorDetail);
        return writer;
      }
      writer.backend_ = std::move(result.backend);
      if (writer.kind_ == MovieKind::kImageSequence) {
        writer.nextFrame_ = std::max(request.firstFrameNumber, 0);
      }
      break;
    }
  }
  return writer;
}

bool MovieWriter::WriteMovieFrame(int32_t frameNumber, const ImageBuffer& frame) {
  if (backend_ == nullptr) {
    errorDetail_ = "the movie is not open";
    return false;
  }
  if (frame.Width() != width_ || frame.Height() != height_ || frame.BitsPerPixel() != 32) {
    errorDetail_ = "the frame's size or depth differs from the movie's";
    return false;
  }
  if (frameNumber >= 0 && frameNumber < nextFrame_) {
    errorDetail_ = "frames are written in order";
    return false;
  }
  const int32_t number = frameNumber < 0 ? nextFrame_ : frameNumber;
  nextFrame_ = number + 1;
  if (!backend_->WriteFrame(number, frame)) {
    errorDetail_ = backend_->ErrorDetail();
    return false;
  }
  return true;
}

bool MovieWriter::CloseMovieWriter() {
  if (backend_ == nullptr) return false;
  const bool closed = backend_->Close();
  if (!closed) errorDetail_ = backend_->ErrorDetail();
  backend_.reset();
  return closed;
}

}  // namespace vantoril

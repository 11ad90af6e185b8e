#include "output/movie_writer.h"

#include <cmath>
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

}  // namespace

MovieKind MovieKindFromPath(std::string_view path) {
  if (Contains(path, ".mov")) return MovieKind::kQuickTime;
  if (Contains(path, ".dps")) return MovieKind::kDps;
  if (Contains(path, ".rtv")) return MovieKind::kRtv;
  if (IsImageSequencePath(path)) return MovieKind::kImageSequence;
  return MovieKind::kAvi;
}

int32_t MovieTypeFromPath(std::string_view path) {
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
    while (j < path.size() && path[j] >= '0' && path[j] <= '9') ++j;
    if (j >= path.size() || path[j] != 'd') return false;
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
        writer.errorDetail_ = "the DPS writer failed to open (code " + std::to_string(code) + ")";
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
    case MovieKind::kImageSequence: {
      BackendResult result =
          OpenFfmpegMovie(writer.kind_, request, rate, frame.Width(), frame.Height());
      if (result.backend == nullptr) {
        writer.errorDetail_ = std::move(result.errorDetail);
        return writer;
      }
      writer.backend_ = std::move(result.backend);
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

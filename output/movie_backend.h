#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "output/codec_table.h"
#include "output/movie_writer.h"

namespace vantoril {

// One kind of movie file behind MovieWriter.
class MovieBackend {
 public:
  virtual ~MovieBackend() = default;
  // The frame number is already resolved (never -1) and increasing.
  virtual bool WriteFrame(int32_t frameNumber, const ImageBuffer& frame) = 0;
  // Finishes the file; called once.
  virtual bool Close() = 0;
  // Why the last call failed.
  virtual std::string ErrorDetail() const { return {}; }
};

struct BackendResult {
  std::unique_ptr<MovieBackend> backend;
  std::string errorDetail;
};

// AVI, QuickTime and image sequences through FFmpeg. `rate` is
// MovieRateTimes100 (at least 1).
BackendResult OpenFfmpegMovie(MovieKind kind, const MovieRequest& request, int32_t rate,
                              int32_t width, int32_t height);

}  // namespace vantoril

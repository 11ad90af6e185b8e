#pragma once

// A demuxer's input over bytes held in memory: FFmpeg's custom I/O with read
// and seek callbacks over a buffer. Included by .cpp files only.

#include <cstdint>
#include <memory>
#include <span>

extern "C" {
#include <libavformat/avio.h>
}

namespace vantoril::ffmpeg_input {

class MemoryIo {
 public:
  // Null when FFmpeg cannot allocate the context. The bytes must outlive it.
  static std::unique_ptr<MemoryIo> Make(std::span<const uint8_t> bytes);
  // Use Make: the object is the callbacks' opaque pointer and never moves.
  explicit MemoryIo(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  MemoryIo(const MemoryIo&) = delete;
  MemoryIo& operator=(const MemoryIo&) = delete;

  AVIOContext* Context() const { return context_.get(); }

 private:
  struct ContextDeleter {
    void operator()(AVIOContext* context) const;
  };

  static int Read(void* opaque, uint8_t* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);

  std::span<const uint8_t> bytes_;
  int64_t position_ = 0;
  std::unique_ptr<AVIOContext, ContextDeleter> context_;
};

}  // namespace vantoril::ffmpeg_input

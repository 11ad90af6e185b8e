#include "media/ffmpeg_memory_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace vantoril::ffmpeg_input {

namespace {
constexpr int kBufferSize = 4096;
}

void MemoryIo::ContextDeleter::operator()(AVIOContext* context) const {
  // The context may have swapped its buffer for one of its own.
  av_freep(&context->buffer);
  avio_context_free(&context);
}

std::unique_ptr<MemoryIo> MemoryIo::Make(std::span<const uint8_t> bytes) {
  auto io = std::make_unique<MemoryIo>(bytes);
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
  if (!buffer) return nullptr;
  io->context_.reset(avio_alloc_context(buffer, kBufferSize, 0, io.get(), &MemoryIo::Read, nullptr,
                                        &MemoryIo::Seek));
  if (!io->context_) {
    av_free(buffer);
    return nullptr;
  }
  return io;
}

int MemoryIo::Read(void* opaque, uint8_t* buffer, int size) {
  auto* io = static_cast<MemoryIo*>(opaque);
  const int64_t total = static_cast<int64_t>(io->bytes_.size());
  if (size <= 0 || io->position_ >= total) return AVERROR_EOF;
  const int count = static_cast<int>(std::min<int64_t>(size, total - io->position_));
  std::memcpy(buffer, io->bytes_.data() + io->position_, static_cast<size_t>(count));
  io->position_ += count;
  return count;
}

int64_t MemoryIo::Seek(void* opaque, int64_t offset, int whence) {
  auto* io = static_cast<MemoryIo*>(opaque);
  const int64_t total = static_cast<int64_t>(io->bytes_.size());
  if (whence & AVSEEK_SIZE) return total;
  int64_t base = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
      break;
    case SEEK_CUR:
      base = io->position_;
      break;
    case SEEK_END:
      base = total;
      break;
    default:
      return AVERROR(EINVAL);
  }
  // Positions past the end are allowed (reads there give end of file); the
  // sum is checked first so that no offset can overflow it.
  if (offset < -base || offset > std::numeric_limits<int64_t>::max() - base) return AVERROR(EINVAL);
  io->position_ = base + offset;
  return io->position_;
}

}  // namespace vantoril::ffmpeg_input

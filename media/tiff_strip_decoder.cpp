#include "media/tiff_strip_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace vantoril {

namespace {

constexpr size_t kChunkSize = size_t{64} * 1024;

constexpr uint32_t kCompressionLzw = 5;
constexpr uint32_t kCompressionDeflate = 8;
constexpr uint32_t kCompressionOldDeflate = 32946;
constexpr uint32_t kCompressionPackBits = 32773;
constexpr uint32_t kCompressionJpeg = 7;

constexpr int kClearCode = 256;
constexpr int kEndCode = 257;
constexpr int kFirstFreeCode = 258;
constexpr int kNarrowest = 9;
constexpr int kWidest = 12;

// PackBits header bytes: 0..127 literals, 129..255 runs, 128 nothing.
constexpr int kLastLiteral = 127;
constexpr int kNoOperation = 128;

}  // namespace

std::optional<TiffStripDecoder::Method> TiffStripDecoder::MethodOf(uint32_t compression) {
  switch (compression) {
    case kCompressionLzw:
      return Method::kLzw;
    case kCompressionDeflate:
    case kCompressionOldDeflate:
      return Method::kDeflate;
    case kCompressionPackBits:
      return Method::kPackBits;
    case kCompressionJpeg:
      return Method::kJpeg;
    default:
      return std::nullopt;
  }
}

void TiffStripDecoder::InflateEnd::operator()(z_stream_s* stream) const {
  inflateEnd(stream);
  std::default_delete<z_stream_s>()(stream);
}

TiffStripDecoder::TiffStripDecoder(Method method, int64_t budget)
    : method_(method), budget_(budget), chunk_(kChunkSize) {
  if (method_ == Method::kDeflate) {
    auto stream = std::make_unique<z_stream_s>();
    if (inflateInit(stream.get()) == Z_OK) {
      zlib_.reset(stream.release());
    }
  }
}

TiffStripDecoder::~TiffStripDecoder() = default;

void TiffStripDecoder::UseJpeg(bool ycbcr, uint32_t width, uint32_t rows, int components,
                               const std::vector<uint8_t>& tables) {
  jpeg_ = std::make_unique<TiffJpegBlocks>(ycbcr, width, rows, components);
  jpeg_->LoadTables(tables);
}

bool TiffStripDecoder::Start(BinaryFile& file, int64_t offset, int64_t size) {
  file_ = &file;
  left_ = std::max<int64_t>(size, 0);
  have_ = at_ = 0;
  ended_ = false;
  if (!file.Seek(offset)) {
    return false;
  }
  switch (method_) {
    case Method::kLzw: {
      ResetCodes();
      pendingCount_ = 0;
      bits_ = 0;
      bitCount_ = 0;
      // The first writers began with a clear code stored low bit first:
      // the bytes 0 and then one with its low bit set.
      if (!Refill()) return true;
      if (have_ >= 2 && chunk_[0] == 0 && (chunk_[1] & 1) != 0) return false;
      return true;
    }
    case Method::kDeflate:
      if (!zlib_ || inflateReset(zlib_.get()) != Z_OK) ended_ = true;
      return true;
    case Method::kPackBits:
      runLeft_ = literalLeft_ = 0;
      return true;
    case Method::kJpeg: {
      // libjpeg takes the whole stream at once.
      std::vector<uint8_t> stored;
      while (Refill()) {
        stored.insert(stored.end(), chunk_.begin(),
                      chunk_.begin() + static_cast<std::ptrdiff_t>(have_));
      }
      if (jpeg_) jpeg_->Begin(std::move(stored));
      return true;
    }
  }
  return true;
}

size_t TiffStripDecoder::Read(uint8_t* out, size_t count) {
  switch (method_) {
    case Method::kLzw:
      return ReadLzw(out, count);
    case Method::kDeflate:
      return ReadDeflate(out, count);
    case Method::kPackBits:
      return ReadPackBits(out, count);
    case Method::kJpeg:
      return jpeg_ ? jpeg_->Read(out, count) : 0;
  }
  return 0;
}

bool TiffStripDecoder::Refill() {
  const int64_t allowed = std::min(left_, budget_);
  if (allowed <= 0) return false;
  const size_t want = static_cast<size_t>(std::min<int64_t>(allowed, chunk_.size()));
  have_ = file_->Read(chunk_.data(), want);
  at_ = 0;
  budget_ -= static_cast<int64_t>(have_);
  left_ = have_ == want ? left_ - static_cast<int64_t>(have_) : 0;  // a short file ends it
  return have_ > 0;
}

int TiffStripDecoder::NextByte() {
  if (at_ == have_ && !Refill()) return -1;
  return chunk_[at_++];
}

// --- LZW ---------------------------------------------------------------------

void TiffStripDecoder::ResetCodes() {
  nextCode_ = kFirstFreeCode;
  width_ = kNarrowest;
  oldCode_ = -1;
}

// Codes are stored high bit first.
int TiffStripDecoder::NextCode() {
  while (bitCount_ < width_) {
    const int byte = NextByte();
    if (byte < 0) return -1;
    bits_ = (bits_ << 8 | static_cast<uint32_t>(byte)) & 0xFFFFFF;
    bitCount_ += 8;
  }
  bitCount_ -= width_;
  return static_cast<int>(bits_ >> bitCount_) & ((1 << width_) - 1);
}

void TiffStripDecoder::QueueString(int code, int extra) {
  pendingCount_ = 0;
  if (extra >= 0) pending_[pendingCount_++] = static_cast<uint8_t>(extra);
  for (; code >= kFirstFreeCode; code = prefix_[code]) {
    pending_[pendingCount_++] = suffix_[code];
  }
  pending_[pendingCount_++] = static_cast<uint8_t>(code);
}

size_t TiffStripDecoder::ReadLzw(uint8_t* out, size_t count) {
  size_t written = 0;
  while (written < count) {
    if (pendingCount_ > 0) {
      out[written++] = pending_[--pendingCount_];
      continue;
    }
    if (ended_) break;
    const int code = NextCode();
    if (code < 0 || code == kEndCode) {
      ended_ = true;
      break;
    }
    if (code == kClearCode) {
      ResetCodes();
      continue;
    }
    if (oldCode_ < 0) {
      // The first code after a clear is a single byte.
      if (code > kClearCode) {
        ended_ = true;
        break;
      }
      QueueString(code, -1);
      oldCode_ = code;
      continue;
    }
    if (code > nextCode_) {
      ended_ = true;  // damaged data
      break;
    }
    // A code not made yet can only be the one being made: the previous
    // string and its own first byte.
    const bool known = code < nextCode_;
    const uint8_t first = FirstByte(known ? code : oldCode_);
    QueueString(known ? code : oldCode_, known ? -1 : first);
    if (nextCode_ < kCodeCount) {
      prefix_[nextCode_] = static_cast<uint16_t>(oldCode_);
      suffix_[nextCode_] = first;
      firstByte_[nextCode_] = FirstByte(oldCode_);
      ++nextCode_;
    }
    // The width grows one code early, as TIFF writers do.
    if (nextCode_ >= (1 << width_) - 1 && width_ < kWidest) ++width_;
    oldCode_ = code;
  }
  return written;
}

// --- Deflate -----------------------------------------------------------------

size_t TiffStripDecoder::ReadDeflate(uint8_t* out, size_t count) {
  if (ended_ || count == 0) return 0;
  z_stream_s& z = *zlib_;
  z.next_out = out;
  z.avail_out = static_cast<uInt>(count);
  while (z.avail_out > 0) {
    if (at_ == have_) {
      if (!Refill()) break;
    }
    z.next_in = chunk_.data() + at_;
    z.avail_in = static_cast<uInt>(have_ - at_);
    const int result = inflate(&z, Z_NO_FLUSH);
    at_ = have_ - z.avail_in;
    if (result != Z_OK) {
      ended_ = true;  // the stream's end, or damaged data
      break;
    }
  }
  return count - z.avail_out;
}

// --- PackBits ----------------------------------------------------------------

size_t TiffStripDecoder::ReadPackBits(uint8_t* out, size_t count) {
  size_t written = 0;
  while (written < count) {
    if (runLeft_ > 0) {
      const size_t n = std::min(static_cast<size_t>(runLeft_), count - written);
      std::fill_n(out + written, n, runByte_);
      written += n;
      runLeft_ -= static_cast<int>(n);
      continue;
    }
    if (literalLeft_ > 0) {
      const int byte = NextByte();
      if (byte < 0) break;
      out[written++] = static_cast<uint8_t>(byte);
      --literalLeft_;
      continue;
    }
    const int header = NextByte();
    if (header < 0) break;
    if (header <= kLastLiteral) {
      literalLeft_ = header + 1;
    } else if (header != kNoOperation) {
      const int byte = NextByte();
      if (byte < 0) break;
      runByte_ = static_cast<uint8_t>(byte);
      runLeft_ = 257 - header;
    }
  }
  return written;
}

}  // namespace vantoril

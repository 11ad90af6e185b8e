#pragma once

// Decoding of compressed TIFF strips; not part of the media interface.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "media/binary_file.h"
#include "media/tiff_jpeg_blocks.h"

struct z_stream_s;

namespace vantoril {

// The bytes of one compressed strip, decoded as they are asked for. The
// strip is read from the file a chunk at a time, so a strip costs little
// memory however large the picture. Damaged data ends the strip early: what
// was decoded until then stands.
class TiffStripDecoder {
 public:
  enum class Method { kLzw, kDeflate, kPackBits, kJpeg };
  // The method of a Compression tag's value; none for no compression and
  // for methods not read (the first writers' JPEG, fax coding ...).
  static std::optional<Method> MethodOf(uint32_t compression);

  // `budget`: the stored bytes all strips together may read, so that a
  // damaged file whose strips overlap, or whose every strip decodes to
  // nothing, cannot keep the reader busy for long.
  TiffStripDecoder(Method method, int64_t budget);
  ~TiffStripDecoder();
  TiffStripDecoder(const TiffStripDecoder&) = delete;
  TiffStripDecoder& operator=(const TiffStripDecoder&) = delete;

  // JPEG strips and tiles: rows of `width` pixels of `components` samples, at
  // most `rows` a block, and the tables the file keeps apart for them.
  void UseJpeg(bool ycbcr, uint32_t width, uint32_t rows, int components,
               const std::vector<uint8_t>& tables);
  // Begins the strip of `size` bytes at `offset`. False when the file cannot
  // go there, or the strip is in the LZW flavour of the first TIFF writers
  // (codes stored the other way round), which is not read.
  bool Start(BinaryFile& file, int64_t offset, int64_t size);
  // Up to count decoded bytes into out; fewer only where the strip ends.
  size_t Read(uint8_t* out, size_t count);
  // Whether the budget is spent: no later strip can give anything.
  bool Spent() const { return budget_ <= 0; }

 private:
  // The strip's next stored byte, or -1 at its end.
  int NextByte();
  bool Refill();
  size_t ReadLzw(uint8_t* out, size_t count);
  size_t ReadDeflate(uint8_t* out, size_t count);
  size_t ReadPackBits(uint8_t* out, size_t count);
  // The next LZW code, or -1 at the end of the strip's bytes.
  int NextCode();
  void ResetCodes();
  // Puts the string of code (plus `extra`, when not negative) into pending_.
  void QueueString(int code, int extra);
  uint8_t FirstByte(int code) const {
    return code < 256 ? static_cast<uint8_t>(code) : firstByte_[static_cast<size_t>(code)];
  }

  struct InflateEnd {
    void operator()(z_stream_s* stream) const;
  };

  Method method_;
  BinaryFile* file_ = nullptr;
  int64_t left_ = 0;  // stored bytes of the strip not yet read from the file
  int64_t budget_ = 0;
  std::vector<uint8_t> chunk_;
  size_t have_ = 0;
  size_t at_ = 0;
  bool ended_ = false;

  // LZW: each code past the 256 single bytes is an earlier code's string
  // and one more byte.
  static constexpr int kCodeCount = 4096;
  std::array<uint16_t, kCodeCount> prefix_{};
  std::array<uint8_t, kCodeCount> suffix_{};
  std::array<uint8_t, kCodeCount> firstByte_{};
  std::array<uint8_t, kCodeCount + 1> pending_{};  // a string, last byte first
  int pendingCount_ = 0;
  int nextCode_ = 0;
  int width_ = 0;
  int oldCode_ = -1;
  uint32_t bits_ = 0;
  int bitCount_ = 0;

  // Deflate.
  std::unique_ptr<z_stream_s, InflateEnd> zlib_;

  // JPEG.
  std::unique_ptr<TiffJpegBlocks> jpeg_;

  // PackBits: what the current packet has still to give.
  int runLeft_ = 0;
  uint8_t runByte_ = 0;
  int literalLeft_ = 0;
};

}  // namespace vantoril

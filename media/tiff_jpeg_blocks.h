#pragma once

// JPEG-compressed strips and tiles of TIFF files; not part of the media
// interface.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantoril {

// Decodes the JPEG stream of one block (strip or tile) after another, each
// with the tables the file keeps apart for all of them. Rows come out as the
// file's samples, 8 bits each; YCbCr becomes red, green, blue. A stream that
// is damaged, or that is not the size the directory gives, ends early: what
// was decoded until then stands.
class TiffJpegBlocks {
 public:
  // `width` pixels of `components` samples make a block's row; a block has
  // at most `rows` rows.
  TiffJpegBlocks(bool ycbcr, uint32_t width, uint32_t rows, int components);
  ~TiffJpegBlocks();
  TiffJpegBlocks(const TiffJpegBlocks&) = delete;
  TiffJpegBlocks& operator=(const TiffJpegBlocks&) = delete;

  // The tables every block may refer to (a stream of tables only).
  void LoadTables(const std::vector<uint8_t>& tables);
  // Begins the block whose stored bytes these are.
  void Begin(std::vector<uint8_t> stored);
  // Up to count decoded bytes into out; fewer only where the block ends.
  size_t Read(uint8_t* out, size_t count);

  // libjpeg's state, kept out of this header.
  struct Decoder;

 private:
  std::unique_ptr<Decoder> decoder_;
};

}  // namespace vantoril

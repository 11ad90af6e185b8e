#include "media/tiff_jpeg_blocks.h"

#include <algorithm>
#include <csetjmp>
#include <utility>

#include "media/jpeg_error.h"

namespace vantoril {

namespace {

// JPEG codes pixels in blocks of up to 16 x 16.
constexpr JDIMENSION kLargestBlockSide = 16;

}  // namespace

struct TiffJpegBlocks::Decoder {
  jpeg_decompress_struct info{};
  JpegError error{};
  bool ycbcr = false;
  JDIMENSION width = 0;
  JDIMENSION rows = 0;
  int components = 0;
  std::vector<uint8_t> stored;
  // The row being handed out.
  std::vector<uint8_t> line;
  size_t lineAt = 0;
  bool usable = false;   // created, and no error since
  bool running = false;  // a block's rows are being decoded

  Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  // Destroying a zeroed or half-created decompressor is safe.
  ~Decoder() { jpeg_destroy_decompress(&info); }
};

namespace {

// Each of these holds a setjmp. Nothing with a destructor lives in their
// frames, so the jump out of libjpeg skips no clean-up.

bool Create(jpeg_decompress_struct& info, JpegError& error) {
  info.err = error.Manager();
  if (setjmp(error.jump) != 0) {
    return false;
  }
  jpeg_create_decompress(&info);
  return true;
}

bool ReadTables(jpeg_decompress_struct& info, JpegError& error, const uint8_t* tables,
                size_t size) {
  if (setjmp(error.jump) != 0) {
    return false;
  }
  jpeg_mem_src(&info, tables, static_cast<unsigned long>(size));
  jpeg_read_header(&info, FALSE);
  return true;
}

// Starts a block's stream. False when it cannot be decoded or is not of the
// block's size and samples.
bool Start(TiffJpegBlocks::Decoder& d) {
  jpeg_decompress_struct& info = d.info;
  if (setjmp(d.error.jump) != 0) {
    return false;
  }
  // Forgets the last block but keeps the tables.
  jpeg_abort_decompress(&info);
  jpeg_mem_src(&info, d.stored.data(), static_cast<unsigned long>(d.stored.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    return false;
  }
  // The samples as stored, unless the file says they are YCbCr.
  if (d.ycbcr && info.num_components == 3) {
    info.jpeg_color_space = JCS_YCbCr;
    info.out_color_space = JCS_RGB;
  } else {
    info.jpeg_color_space = JCS_UNKNOWN;
    info.out_color_space = JCS_UNKNOWN;
  }
  jpeg_calc_output_dimensions(&info);
  // A stream taller than its block would only cost memory (a progressive
  // one is held whole while it is decoded); some writers fill up the last
  // row of 16-pixel blocks.
  if (info.output_width != d.width || info.output_height > d.rows + kLargestBlockSide - 1 ||
      info.output_components != d.components) {
    return false;
  }
  jpeg_start_decompress(&info);
  return true;
}

// The block's next row into d.line; false at its end or on damage.
bool NextLine(TiffJpegBlocks::Decoder& d) {
  jpeg_decompress_struct& info = d.info;
  if (setjmp(d.error.jump) != 0) {
    return false;
  }
  if (info.output_scanline >= info.output_height) {
    return false;
  }
  JSAMPROW row = d.line.data();
  return jpeg_read_scanlines(&info, &row, 1) == 1;
}

}  // namespace

TiffJpegBlocks::TiffJpegBlocks(bool ycbcr, uint32_t width, uint32_t rows, int components)
    : decoder_(std::make_unique<Decoder>()) {
  Decoder& d = *decoder_;
  d.ycbcr = ycbcr;
  d.width = width;
  d.rows = rows;
  d.components = components;
  d.line.resize(size_t{width} * static_cast<size_t>(components));
  d.usable = Create(d.info, d.error);
}

TiffJpegBlocks::~TiffJpegBlocks() = default;

void TiffJpegBlocks::LoadTables(const std::vector<uint8_t>& tables) {
  Decoder& d = *decoder_;
  // Damaged tables: the blocks that need them will fail by themselves.
  if (d.usable && !tables.empty() && !ReadTables(d.info, d.error, tables.data(), tables.size())) {
    jpeg_abort_decompress(&d.info);
  }
}

void TiffJpegBlocks::Begin(std::vector<uint8_t> stored) {
  Decoder& d = *decoder_;
  d.stored = std::move(stored);
  d.lineAt = d.line.size();
  d.running = d.usable && !d.stored.empty() && Start(d);
}

size_t TiffJpegBlocks::Read(uint8_t* out, size_t count) {
  Decoder& d = *decoder_;
  size_t done = 0;
  while (done < count && d.running) {
    if (d.lineAt == d.line.size()) {
      if (!NextLine(d)) {
        d.running = false;
        break;
      }
      d.lineAt = 0;
    }
    const size_t n = std::min(count - done, d.line.size() - d.lineAt);
    std::copy_n(d.line.data() + d.lineAt, n, out + done);
    d.lineAt += n;
    done += n;
  }
  return done;
}

}  // namespace vantoril

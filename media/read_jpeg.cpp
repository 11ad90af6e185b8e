#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

// libjpeg's headers need <cstdio> first.
#include <jerror.h>
#include <jpeglib.h>

#include "media/image_reader_support.h"
#include "media/image_readers.h"
#include "media/jpeg_error.h"

namespace vantoril {

namespace {

constexpr size_t kSourceChunk = 16384;

// Feeds libjpeg from a BinaryFile, a chunk at a time.
struct JpegSource {
  jpeg_source_mgr manager;  // first, so libjpeg's pointer to it is a pointer to this
  BinaryFile* file;
  std::array<JOCTET, kSourceChunk> chunk;
  bool dataEnded;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr decoder) {
  auto* source = reinterpret_cast<JpegSource*>(decoder->src);
  size_t got = source->file->Read(source->chunk.data(), source->chunk.size());
  if (got == 0) {
    // The data ended before the picture did. An end-of-image marker lets
    // libjpeg wind up (it fills the missing rows with grey); the reader
    // refuses the picture afterwards.
    source->dataEnded = true;
    source->chunk[0] = 0xFF;
    source->chunk[1] = JPEG_EOI;
    got = 2;
    WARNMS(decoder, JWRN_JPEG_EOF);
  }
  source->manager.next_input_byte = source->chunk.data();
  source->manager.bytes_in_buffer = got;
  return TRUE;
}

void SkipInputData(j_decompress_ptr decoder, long count) {
  if (count <= 0) {
    return;
  }
  jpeg_source_mgr& manager = *decoder->src;
  while (count > static_cast<long>(manager.bytes_in_buffer)) {
    count -= static_cast<long>(manager.bytes_in_buffer);
    FillInputBuffer(decoder);
  }
  manager.next_input_byte += count;
  manager.bytes_in_buffer -= static_cast<size_t>(count);
}

// A row of cyan, magenta, yellow and black as blue, green, red. Files with
// the Adobe marker (those of print programs) store each ink turned over,
// 255 for none.
void InksToColours(const std::vector<JSAMPLE>& inks, bool turnedOver, uint8_t* bgr) {
  for (size_t x = 0; x < inks.size() / 4; ++x) {
    const JSAMPLE* ink = &inks[4 * x];
    const auto none = [&](int k) { return turnedOver ? unsigned{ink[k]} : 255U - ink[k]; };
    const unsigned white = none(3);
    for (int c = 0; c < 3; ++c) {
      // Yellow takes blue, magenta green, cyan red.
      bgr[3 * x + static_cast<size_t>(c)] = static_cast<uint8_t>((none(2 - c) * white + 127) / 255);
    }
  }
}

// Owns the decompressor: destroyed on every path, also after an error jump
// (destroying a zeroed or half-created decompressor is safe).
struct JpegDecoder {
  jpeg_decompress_struct decompress{};
  JpegError error{};
  JpegSource source{};

  // A CMYK picture's row before it becomes blue, green, red.
  std::vector<JSAMPLE> inkRow;

  JpegDecoder() = default;
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;
  ~JpegDecoder() { jpeg_destroy_decompress(&decompress); }
};

// Holds the setjmp. Nothing with a destructor lives in this frame, so the
// jump out of libjpeg skips no clean-up; the decoder is released by the caller.
ImageReadResult Decode(JpegDecoder& decoder, BinaryFile& file, ImageBuffer& image) {
  jpeg_decompress_struct& decompress = decoder.decompress;
  decompress.err = decoder.error.Manager();
  if (setjmp(decoder.error.jump) != 0) {
    return kImageUnreadable;
  }
  jpeg_create_decompress(&decompress);

  JpegSource& source = decoder.source;
  source.file = &file;
  source.dataEnded = false;
  source.manager.init_source = InitSource;
  source.manager.fill_input_buffer = FillInputBuffer;
  source.manager.skip_input_data = SkipInputData;
  source.manager.resync_to_restart = jpeg_resync_to_restart;
  source.manager.term_source = TermSource;
  source.manager.next_input_byte = nullptr;
  source.manager.bytes_in_buffer = 0;
  decompress.src = &source.manager;

  jpeg_read_header(&decompress, TRUE);
  // A photo larger than a picture may be (cameras of 45 million pixels and
  // more) is decoded at a half, a quarter or an eighth of its size, which
  // the decoder does as cheaply as the whole.
  decompress.scale_num = 1;
  for (decompress.scale_denom = 1; decompress.scale_denom < 8; decompress.scale_denom *= 2) {
    jpeg_calc_output_dimensions(&decompress);
    if (decompress.output_width <= ImageBuffer::kMaxSide &&
        decompress.output_height <= ImageBuffer::kMaxSide) {
      break;
    }
  }
  jpeg_calc_output_dimensions(&decompress);
  const JDIMENSION width = decompress.output_width;
  const JDIMENSION height = decompress.output_height;
  if (width > ImageBuffer::kMaxSide || height > ImageBuffer::kMaxSide) {
    return kImageTooLarge;
  }
  // Grey pictures come out as blue = green = red; CMYK ones (print work)
  // are turned into colours below, libjpeg having no such conversion.
  const bool inks =
      decompress.jpeg_color_space == JCS_CMYK || decompress.jpeg_color_space == JCS_YCCK;
  decompress.out_color_space = inks ? JCS_CMYK : JCS_EXT_BGR;
  if (inks) {
    try {
      decoder.inkRow.resize(size_t{width} * 4);
    } catch (const std::bad_alloc&) {
      return kImageNoMemory;
    }
  }
  if (const ImageReadResult created = image_reader::CreatePicture(image, width, height, 24);
      created != kImageRead) {
    return created;
  }
  jpeg_start_decompress(&decompress);
  if (decompress.output_width != width || decompress.output_height != height ||
      decompress.output_components != (inks ? 4 : 3)) {
    return kImageUnreadable;
  }
  // A truncated file would decode to grey below the cut: it is refused as
  // soon as the data runs out. Warnings about damaged data (stray bytes
  // before a marker, common in camera files) are ignored.
  if (source.dataEnded) {
    return kImageUnreadable;
  }
  // The first line of the picture is the buffer's last row.
  while (decompress.output_scanline < height) {
    uint8_t* pixels = image.RowPointer(static_cast<int>(height - 1 - decompress.output_scanline));
    JSAMPROW row = inks ? decoder.inkRow.data() : pixels;
    if (jpeg_read_scanlines(&decompress, &row, 1) != 1 || source.dataEnded) {
      return kImageUnreadable;
    }
    if (inks) {
      InksToColours(decoder.inkRow, decompress.saw_Adobe_marker != 0, pixels);
    }
  }
  return kImageRead;
}

}  // namespace

bool IsJpegLibraryAvailable() {
  return true;
}

ImageReadResult ReadJpeg(ImageBuffer& image, ImageFile& in) {
  if (!in.file.Seek(0)) {
    return kImageUnreadable;
  }
  JpegDecoder decoder;
  return Decode(decoder, in.file, image);
}

}  // namespace vantoril

#include "test_clip.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "media/ffmpeg_ptr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace vantoril::test {
namespace {

// The number's blocks start one block in from the left and three down.
constexpr int kBits = 16;

// Paints what of the rectangle lies in the picture (the options' size).
void Paint(std::vector<uint8_t>& rgb, const TestClipOptions& picture, int x0, int y0, int w, int h,
           uint8_t r, uint8_t g, uint8_t b) {
  const int width = picture.width;
  const int height = picture.height;
  for (int y = std::max(0, y0); y < std::min(height, y0 + h); ++y) {
    for (int x = std::max(0, x0); x < std::min(width, x0 + w); ++x) {
      uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
      p[0] = r;
      p[1] = g;
      p[2] = b;
    }
  }
}

// Pixel (x, y) counted from the top of the picture, as blue, green, red.
const uint8_t* PixelFromTop(const ImageBuffer& image, int x, int y) {
  return image.RowPointer(image.Height() - 1 - y) + x * 4;
}

bool Drain(AVCodecContext* codec, AVFormatContext* output, AVStream* stream, AVPacket* packet) {
  for (;;) {
    const int result = avcodec_receive_packet(codec, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) return false;
    // Intra-only encoders leave the duration out; the QuickTime muxer would
    // then cut the last frame from the movie's edit.
    if (packet->duration == 0) packet->duration = 1;
    av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    if (av_interleaved_write_frame(output, packet) < 0) return false;
  }
}

}  // namespace

bool HasEncoder(const std::string& name) {
  return avcodec_find_encoder_by_name(name.c_str()) != nullptr;
}

bool WriteTestClip(const TestClipOptions& options) {
  // The number's blocks lie at fixed places; a smaller picture cannot hold them.
  if (options.width < 9 * options.block || options.height < 5 * options.block) {
    return false;
  }
  const AVCodec* encoder = avcodec_find_encoder_by_name(options.encoder.c_str());
  if (!encoder) return false;
  AVFormatContext* rawOutput = nullptr;
  if (avformat_alloc_output_context2(&rawOutput, nullptr, nullptr, options.path.c_str()) < 0) {
    return false;
  }
  OutputFormatContextPtr output(rawOutput);
  AVStream* stream = avformat_new_stream(output.get(), nullptr);
  CodecContextPtr codec(avcodec_alloc_context3(encoder));
  if (!stream || !codec) return false;

  const bool jpeg = encoder->id == AV_CODEC_ID_MJPEG;
  codec->width = options.width;
  codec->height = options.height;
  codec->time_base = AVRational{options.rateDen, options.rateNum};
  codec->framerate = AVRational{options.rateNum, options.rateDen};
  codec->pix_fmt = jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  codec->color_range = jpeg ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  codec->gop_size = options.gopSize;
  codec->max_b_frames = options.maxBFrames;
  codec->flags |= AV_CODEC_FLAG_QSCALE;
  codec->global_quality = FF_QP2LAMBDA * 3;
  if (output->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (encoder->id == AV_CODEC_ID_H264) {
    av_opt_set(codec->priv_data, "preset", "veryfast", 0);
    av_opt_set(codec->priv_data, "crf", "18", 0);
    if (options.openGop) av_opt_set(codec->priv_data, "x264-params", "open-gop=1", 0);
    codec->flags &= ~AV_CODEC_FLAG_QSCALE;
  }
  if (avcodec_open2(codec.get(), encoder, nullptr) < 0) return false;
  if (avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0) return false;
  stream->time_base = codec->time_base;
  if (options.displayTurns != 0) {
    auto* matrix = reinterpret_cast<int32_t*>(
        av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, sizeof(int32_t) * 9));
    if (!matrix) return false;
    av_display_rotation_set(matrix, 90.0 * options.displayTurns);  // clockwise
  }
  if (avio_open(&output->pb, options.path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
  if (avformat_write_header(output.get(), nullptr) < 0) return false;

  SwsContextPtr scaler(sws_getContext(options.width, options.height, AV_PIX_FMT_RGB24,
                                      options.width, options.height, codec->pix_fmt, SWS_POINT,
                                      nullptr, nullptr, nullptr));
  FramePtr frame = MakeFrame();
  PacketPtr packet = MakePacket();
  if (!scaler || !frame || !packet) return false;
  frame->format = codec->pix_fmt;
  frame->width = options.width;
  frame->height = options.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return false;

  // The scaler's vector code reads a block past the last pixel.
  std::vector<uint8_t> rgb(size_t(options.width) * options.height * 3 + 64);
  for (int n = 0; n < options.frames; ++n) {
    Paint(rgb, options, 0, 0, options.width, options.height, 128, 128, 128);
    const int block = options.block;
    for (int bit = 0; bit < kBits; ++bit) {
      const uint8_t level = (n >> bit) & 1 ? 255 : 0;
      Paint(rgb, options, block + (bit % 8) * block, 3 * block + (bit / 8) * block, block, block,
            level, level, level);
    }
    Paint(rgb, options, 0, 0, block, block, 255, 0, 0);
    Paint(rgb, options, options.width - block, options.height - block, block, block, 0, 0, 255);
    if (av_frame_make_writable(frame.get()) < 0) return false;
    const uint8_t* source[1] = {rgb.data()};
    const int sourceStride[1] = {options.width * 3};
    sws_scale(scaler.get(), source, sourceStride, 0, options.height, frame->data, frame->linesize);
    frame->pts = n;
    if (avcodec_send_frame(codec.get(), frame.get()) < 0) return false;
    if (!Drain(codec.get(), output.get(), stream, packet.get())) return false;
  }
  if (avcodec_send_frame(codec.get(), nullptr) < 0) return false;
  if (!Drain(codec.get(), output.get(), stream, packet.get())) return false;
  return av_write_trailer(output.get()) == 0;
}

bool LoseAviFrame(const std::string& path, int frame) {
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string_view view(bytes);
  size_t chunk = view.find("movi");
  for (int k = 0; k <= frame && chunk != std::string_view::npos; ++k) {
    chunk = view.find("00dc", chunk + 4);
  }
  if (chunk == std::string_view::npos || chunk + 8 > bytes.size()) return false;
  const auto byte = [&](size_t at) { return static_cast<size_t>(static_cast<uint8_t>(bytes[at])); };
  const size_t size = byte(chunk + 4) | byte(chunk + 5) << 8 | byte(chunk + 6) << 16;
  if (chunk + 8 + size > bytes.size()) return false;
  std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(chunk + 8), size, '\0');
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out.flush());
}

int FrameNumberShown(const ImageBuffer& image, int block) {
  if (image.BitsPerPixel() != 32 || image.Width() < 9 * block || image.Height() < 5 * block) {
    return -1;
  }
  int number = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    const int x = block + (bit % 8) * block + block / 2;
    const int y = 3 * block + (bit / 8) * block + block / 2;
    const uint8_t* p = PixelFromTop(image, x, y);
    const int grey = (p[0] + p[1] + p[2]) / 3;
    if (grey > 200) {
      number |= 1 << bit;
    } else if (grey > 55) {
      return -1;
    }
  }
  return number;
}

bool MarkersInPlace(const ImageBuffer& image, int quarterTurns) {
  if (image.BitsPerPixel() != 32) return false;
  constexpr int kBlock = 32;
  const bool across = quarterTurns % 2 == 1;
  const int width = across ? image.Height() : image.Width();  // as written
  const int height = across ? image.Width() : image.Height();
  // Where a written pixel lies once turned.
  const auto shown = [&](int x, int y) {
    for (int t = 0; t < quarterTurns; ++t) {
      const int turnedHeight = t % 2 == 0 ? height : width;
      std::tie(x, y) = std::pair{turnedHeight - 1 - y, x};
    }
    return PixelFromTop(image, x, y);
  };
  const uint8_t* red = shown(kBlock / 2, kBlock / 2);
  const uint8_t* blue = shown(width - kBlock / 2, height - kBlock / 2);
  return red[2] > 200 && red[0] < 60 && blue[0] > 200 && blue[2] < 60;
}

}  // namespace vantoril::test

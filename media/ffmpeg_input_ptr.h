#pragma once

// Owners for the FFmpeg objects of the input side (clip reading). Included by
// .cpp files only: no FFmpeg type appears in a public media/ header.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace vantoril::ffmpeg_input {

struct InputFormatDeleter {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerDeleter {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};

struct ParserDeleter {
  void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, ParserDeleter>;

inline FramePtr MakeFrame() {
  return FramePtr(av_frame_alloc());
}
inline PacketPtr MakePacket() {
  return PacketPtr(av_packet_alloc());
}

// Opens a file for demuxing; null when it cannot be opened or probed.
inline InputFormatPtr OpenInput(const char* path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path, nullptr, nullptr) < 0) return nullptr;
  InputFormatPtr context(raw);
  if (avformat_find_stream_info(context.get(), nullptr) < 0) return nullptr;
  return context;
}

// Opens bytes behind a custom I/O context (which stays the caller's) for
// demuxing; null when they cannot be probed.
inline InputFormatPtr OpenInput(AVIOContext* io) {
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) return nullptr;
  raw->pb = io;
  raw->flags |= AVFMT_FLAG_CUSTOM_IO;
  // A failed open frees the context, never the I/O.
  if (avformat_open_input(&raw, nullptr, nullptr, nullptr) < 0) return nullptr;
  InputFormatPtr context(raw);
  if (avformat_find_stream_info(context.get(), nullptr) < 0) return nullptr;
  return context;
}

// Packet unreferencer for a scope: the packet stays allocated.
class PacketRef {
 public:
  explicit PacketRef(AVPacket* packet) : packet_(packet) {}
  ~PacketRef() { av_packet_unref(packet_); }
  PacketRef(const PacketRef&) = delete;
  PacketRef& operator=(const PacketRef&) = delete;

 private:
  AVPacket* packet_;
};

}  // namespace vantoril::ffmpeg_input

#include "media/ffmpeg_ptr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace vantoril {

void InputFormatContextDeleter::operator()(AVFormatContext* context) const {
  avformat_close_input(&context);
}

void OutputFormatContextDeleter::operator()(AVFormatContext* context) const {
  if (context == nullptr) return;
  if (context->oformat != nullptr && (context->oformat->flags & AVFMT_NOFILE) == 0) {
    avio_closep(&context->pb);
  }
  avformat_free_context(context);
}

void BufferRefDeleter::operator()(AVBufferRef* buffer) const {
  av_buffer_unref(&buffer);
}

void CodecContextDeleter::operator()(AVCodecContext* context) const {
  avcodec_free_context(&context);
}

void FrameDeleter::operator()(AVFrame* frame) const {
  av_frame_free(&frame);
}

void PacketDeleter::operator()(AVPacket* packet) const {
  av_packet_free(&packet);
}

void SwsContextDeleter::operator()(SwsContext* context) const {
  sws_freeContext(context);
}

void ParserContextDeleter::operator()(AVCodecParserContext* parser) const {
  av_parser_close(parser);
}

void AvFreeDeleter::operator()(uint8_t* block) const {
  av_free(block);
}

FramePtr MakeFrame() {
  return FramePtr(av_frame_alloc());
}

PacketPtr MakePacket() {
  return PacketPtr(av_packet_alloc());
}

InputFormatContextPtr OpenInput(const char* path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path, nullptr, nullptr) < 0) return nullptr;
  InputFormatContextPtr context(raw);
  if (avformat_find_stream_info(context.get(), nullptr) < 0) return nullptr;
  return context;
}

InputFormatContextPtr OpenInput(AVIOContext* io) {
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) return nullptr;
  raw->pb = io;
  raw->flags |= AVFMT_FLAG_CUSTOM_IO;
  // A failed open frees the context, never the I/O.
  if (avformat_open_input(&raw, nullptr, nullptr, nullptr) < 0) return nullptr;
  InputFormatContextPtr context(raw);
  if (avformat_find_stream_info(context.get(), nullptr) < 0) return nullptr;
  return context;
}

PacketRef::~PacketRef() {
  av_packet_unref(packet_);
}

}  // namespace vantoril

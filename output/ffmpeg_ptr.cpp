#include "output/ffmpeg_ptr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace vantoril {

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

FramePtr MakeFrame() {
  return FramePtr(av_frame_alloc());
}

PacketPtr MakePacket() {
  return PacketPtr(av_packet_alloc());
}

}  // namespace vantoril

#include "media/decoding_loop.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vantoril {

DecodeResult DecodeNextFrame(AVCodecContext& codec, AVFrame& frame, AVPacket& scratch,
                             const PacketSource& source) {
  bool draining = false;
  for (;;) {
    const int received = avcodec_receive_frame(&codec, &frame);
    if (received == 0) return {};
    if (received == AVERROR_EOF || (received == AVERROR(EAGAIN) && draining)) {
      return {DecodeStatus::kEndOfStream, received};
    }
    if (received != AVERROR(EAGAIN)) return {DecodeStatus::kDecoderFailed, received};
    for (;;) {
      if (source(scratch) < 0) {
        draining = true;
        // A decoder drained before answers EOF here and again when asked for
        // a frame; nothing is lost.
        avcodec_send_packet(&codec, nullptr);
        break;
      }
      const int sent = avcodec_send_packet(&codec, &scratch);
      av_packet_unref(&scratch);
      if (sent == 0) break;
      // A damaged packet is passed over; the frames after it may still come.
      if (sent != AVERROR_INVALIDDATA) return {DecodeStatus::kDecoderFailed, sent};
    }
  }
}

}  // namespace vantoril

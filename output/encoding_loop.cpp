#include "output/encoding_loop.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vantoril {

EncodeResult EncodeAndDrain(AVCodecContext& codec, const AVFrame* frame, AVPacket& scratch,
                            const PacketSink& sink) {
  int error = avcodec_send_frame(&codec, frame);
  // A drained encoder answers EOF to a second flush; nothing is lost.
  if (error < 0 && !(frame == nullptr && error == AVERROR_EOF)) {
    return {EncodeStatus::kEncoderFailed, error};
  }
  for (;;) {
    error = avcodec_receive_packet(&codec, &scratch);
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return {};
    if (error < 0) return {EncodeStatus::kEncoderFailed, error};
    const int sinkError = sink(scratch);
    av_packet_unref(&scratch);
    if (sinkError < 0) return {EncodeStatus::kSinkFailed, sinkError};
  }
}

}  // namespace vantoril

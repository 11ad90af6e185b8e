#pragma once

#include <functional>

#include "media/ffmpeg_ptr.h"

namespace vantoril {

enum class EncodeStatus {
  kOk,
  kEncoderFailed,  // the encoder refused the frame or failed to produce a packet
  kSinkFailed,     // the packet's receiver (the muxer) failed
};

struct EncodeResult {
  EncodeStatus status = EncodeStatus::kOk;
  int error = 0;  // the raw FFmpeg error of the failing call, 0 when none

  bool Ok() const { return status == EncodeStatus::kOk; }
};

// Receives each packet the encoder produces; returns 0 or a negative FFmpeg
// error. The packet is the caller's scratch packet and is unreferenced after
// the call.
using PacketSink = std::function<int(AVPacket& packet)>;

// The one send/receive loop: sends `frame` (null drains the encoder at the
// end of the movie) and hands every packet that becomes ready to `sink`.
EncodeResult EncodeAndDrain(AVCodecContext& codec, const AVFrame* frame, AVPacket& scratch,
                            const PacketSink& sink);

}  // namespace vantoril

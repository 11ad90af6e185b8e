#pragma once

// Owners for the FFmpeg objects of both sides, clip reading and movie writing
// (and the tests that make and read movies). Only the types are declared here;
// FFmpeg's headers stay in the .cpp files.

#include <cstdint>
#include <memory>

struct AVBufferRef;
struct AVCodecContext;
struct AVCodecParserContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwsContext;

namespace vantoril {

// A demuxer's context, opened with avformat_open_input.
struct InputFormatContextDeleter {
  void operator()(AVFormatContext* context) const;
};
// A muxer's context: closes its file (when the format has one) and frees the
// context. The trailer is the writer's business, not the deleter's.
struct OutputFormatContextDeleter {
  void operator()(AVFormatContext* context) const;
};
struct BufferRefDeleter {
  void operator()(AVBufferRef* buffer) const;
};
struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const;
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const;
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const;
};
struct SwsContextDeleter {
  void operator()(SwsContext* context) const;
};
struct ParserContextDeleter {
  void operator()(AVCodecParserContext* parser) const;
};
// A block from av_malloc.
struct AvFreeDeleter {
  void operator()(uint8_t* block) const;
};

using InputFormatContextPtr = std::unique_ptr<AVFormatContext, InputFormatContextDeleter>;
using OutputFormatContextPtr = std::unique_ptr<AVFormatContext, OutputFormatContextDeleter>;
using BufferRefPtr = std::unique_ptr<AVBufferRef, BufferRefDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using ParserContextPtr = std::unique_ptr<AVCodecParserContext, ParserContextDeleter>;
using AvBlockPtr = std::unique_ptr<uint8_t, AvFreeDeleter>;

// Empty on allocation failure.
FramePtr MakeFrame();
PacketPtr MakePacket();

// Opens a file for demuxing; empty when it cannot be opened or probed.
InputFormatContextPtr OpenInput(const char* path);
// Opens bytes behind a custom I/O context (which stays the caller's) for
// demuxing; empty when they cannot be probed.
InputFormatContextPtr OpenInput(AVIOContext* io);

// Packet unreferencer for a scope: the packet stays allocated.
class PacketRef {
 public:
  explicit PacketRef(AVPacket* packet) : packet_(packet) {}
  ~PacketRef();
  PacketRef(const PacketRef&) = delete;
  PacketRef& operator=(const PacketRef&) = delete;

 private:
  AVPacket* packet_;
};

}  // namespace vantoril

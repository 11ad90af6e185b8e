#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "output/dynamic_library.h"

namespace vantoril {

class ImageBuffer;
class MessageSink;

// Writes RTV files through the run-time library libQuennetRTV.so and its
// exports "VTOpen", "VTWrite" and "VTClose", each looked up when it is used.
class RtvWriter {
 public:
  static constexpr char kNotInstalledMessage[] = "QuennetRTV.dll is not installed!";

  RtvWriter() = default;
  ~RtvWriter() { library_.Unload(); }
  RtvWriter(const RtvWriter&) = delete;
  RtvWriter& operator=(const RtvWriter&) = delete;

  // Without the library, shows kNotInstalledMessage through `messages` (when
  // given) and fails. A path that does not fit the 256-byte context fails.
  bool OpenRtvWriter(std::string_view path, const ImageBuffer& frame, MessageSink* messages,
                     const std::filesystem::path& libraryFolder = {});
  bool WriteRtvFrame(int32_t frameNumber, const ImageBuffer& frame);
  // True when "VTClose" reported success; the library is unloaded either way.
  bool CloseRtvWriter();

 private:
  DynamicLibrary library_;
  // The library's context argument: the output path, zero-terminated.
  std::array<char, 256> context_{};
};

}  // namespace vantoril

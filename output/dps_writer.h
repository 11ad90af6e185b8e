#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/dynamic_library.h"
#include "output/quennet_abi.h"

namespace vantoril {

// Writes DPS files through two run-time libraries: a Motion-JPEG encoder
// compresses each frame, a DPS file writer stores it. Both are loaded for one
// movie and released when it closes.
class DpsWriter {
 public:
  static constexpr int32_t kWidth = 720;
  static constexpr size_t kInputBytes = 1728000;   // 720 x 600 x 4
  static constexpr size_t kOutputBytes = 1658880;  // 720 x 576 x 4

  DpsWriter() = default;
  ~DpsWriter() { CloseDpsWriter(); }
  DpsWriter(const DpsWriter&) = delete;
  DpsWriter& operator=(const DpsWriter&) = delete;

  // Returns 0, or the code of the first step that failed: 9 input block, 8
  // output block, 7 encoder library, 6 its factory, 5 the encoder, 4 DPS
  // library, 3 its factory, 2 the encoder's quality, 1 the DPS writer.
  // rateMilli is frames per second x 1000 (25000 selects 625 lines);
  // frameHeight is the 486 or 576 lines the caller checked. An empty
  // libraryFolder looks in the usual places.
  int OpenDpsWriter(std::string_view path, int32_t rateMilli, int32_t totalFrames, int32_t quality,
                    int32_t bitsPerPixel, int32_t frameHeight,
                    const std::filesystem::path& libraryFolder = {});

  // What a failure code of OpenDpsWriter means, in the user's words.
  static std::string OpenFailureDetail(int code);

  // 0 on success, 1 when the file writer refused the frame, 2 when the
  // encoder failed (also for pixel data shorter than a frame).
  int WriteDpsFrame(std::span<const uint8_t> pixels, int32_t bitsPerPixel);

  // Releases whatever exists; safe to call twice or after a failed open.
  void CloseDpsWriter();

 private:
  std::vector<uint8_t> inputFrame_;
  std::vector<uint8_t> outputFrame_;
  // The library objects are released through their own slots, and always
  // before their library is unloaded (CloseDpsWriter keeps that order).
  struct EncoderRelease {
    void operator()(quennet::MjpgEncoder* encoder) const { encoder->Release(); }
  };
  struct WriterRelease {
    void operator()(quennet::Dps5Writer* writer) const { writer->CloseAndRelease(); }
  };

  DynamicLibrary encoderLibrary_;
  std::unique_ptr<quennet::MjpgEncoder, EncoderRelease> encoder_;
  DynamicLibrary dpsLibrary_;
  std::unique_ptr<quennet::Dps5Writer, WriterRelease> dpsWriter_;
  int32_t frameHeight_ = 0;
};

}  // namespace vantoril

#pragma once

// The entry points of the run-time loaded DPS and RTV libraries
// (libQuennetMjpg.so, libQuennetDps5.so, libQuennetRTV.so). Both sides of the
// boundary include this file; the libraries are not ours.

#include <cstdint>

namespace vantoril::quennet {

inline constexpr char kMjpgLibrary[] = "libQuennetMjpg.so";
inline constexpr char kDps5Library[] = "libQuennetDps5.so";
inline constexpr char kRtvLibrary[] = "libQuennetRTV.so";

// Line standards and pixel formats of the Motion-JPEG encoder. The pixel
// formats are ASCII digits, high byte first: "32" and "24" bits.
inline constexpr int32_t kLines525 = 525;
inline constexpr int32_t kLines625 = 625;
inline constexpr uint16_t kPixels32 = 0x3332;
inline constexpr uint16_t kPixels24 = 0x3234;

// The objects the factories make are used through tables of virtual
// operations in this slot order; the object is the hidden first argument.
// They are released through their own slot, never deleted by us.
class MjpgEncoder {
 public:
  // Slot 0: compresses *byteCount bytes of input into output and sets
  // *byteCount to the compressed size. 0 on success.
  virtual int32_t Encode(const uint8_t* input, uint8_t* output, int32_t* byteCount) = 0;
  // Slot 1: quality x 100 (0 to 10000). 0 on success.
  virtual int32_t SetQuality(int32_t quality) = 0;
  // Slot 2.
  virtual void Release() = 0;

 protected:
  ~MjpgEncoder() = default;
};

class Dps5Writer {
 public:
  // Slot 0: appends one compressed frame. 0 on success.
  virtual int32_t WriteFrame(const uint8_t* data, int32_t byteCount) = 0;
  // Slot 1: finishes the file and releases the object.
  virtual void CloseAndRelease() = 0;

 protected:
  ~Dps5Writer() = default;
};

extern "C" {
// "CreateQuennetMjpg": 0 on success.
using CreateMjpgFunction = int32_t(int32_t lineStandard, uint16_t pixelFormat,
                                   MjpgEncoder** encoder);
// "CreateQuennetDps5": 0 on success. `mode` is always 4.
using CreateDps5Function = int32_t(const char* path, int32_t lineStandard, int32_t totalFrames,
                                   int32_t mode, Dps5Writer** writer);
// "VTOpen", "VTWrite", "VTClose": non-zero on success. The context is a
// 256-byte block holding the output path; pixels are bottom-up rows of blue,
// green, red, alpha.
using VtOpenFunction = int32_t(const char* path, int32_t width, int32_t height,
                               int32_t bitsPerPixel);
using VtWriteFunction = int32_t(void* context, int32_t frameNumber, int32_t width, int32_t height,
                                const void* pixels);
using VtCloseFunction = int32_t(void* context);
}

}  // namespace vantoril::quennet

#include "output/dps_writer.h"

#include <algorithm>
#include <new>
#include <string>

namespace vantoril {

int DpsWriter::OpenDpsWriter(std::string_view path, int32_t rateMilli, int32_t totalFrames,
                             int32_t quality, int32_t bitsPerPixel, int32_t frameHeight,
                             const std::filesystem::path& libraryFolder) {
  CloseDpsWriter();
  const int32_t lineStandard = rateMilli == 25000 ? quennet::kLines625 : quennet::kLines525;
  const uint16_t pixelFormat = bitsPerPixel == 24 ? quennet::kPixels24 : quennet::kPixels32;
  frameHeight_ = frameHeight;

  try {
    inputFrame_.resize(kInputBytes);
  } catch (const std::bad_alloc&) {
    return 9;
  }
  try {
    outputFrame_.resize(kOutputBytes);
  } catch (const std::bad_alloc&) {
    return 8;
  }

  encoderLibrary_ = DynamicLibrary::Load(quennet::kMjpgLibrary, libraryFolder);
  if (!encoderLibrary_.IsLoaded()) return 7;
  auto* createEncoder = encoderLibrary_.Function<quennet::CreateMjpgFunction>("CreateQuennetMjpg");
  if (createEncoder == nullptr) {
    encoderLibrary_.Unload();
    return 6;
  }
  quennet::MjpgEncoder* encoder = nullptr;
  const int32_t encoderResult = createEncoder(lineStandard, pixelFormat, &encoder);
  // An object from a factory that reported failure is not ours to release.
  if (encoderResult != 0 || encoder == nullptr) return 5;
  encoder_.reset(encoder);

  dpsLibrary_ = DynamicLibrary::Load(quennet::kDps5Library, libraryFolder);
  if (!dpsLibrary_.IsLoaded()) return 4;
  auto* createWriter = dpsLibrary_.Function<quennet::CreateDps5Function>("CreateQuennetDps5");
  if (createWriter == nullptr) {
    dpsLibrary_.Unload();
    return 3;
  }
  if (encoder_->SetQuality(quality * 100) != 0) return 2;
  const std::string terminatedPath(path);
  quennet::Dps5Writer* writer = nullptr;
  const int32_t writerResult =
      createWriter(terminatedPath.c_str(), lineStandard, totalFrames, 4, &writer);
  if (writerResult != 0 || writer == nullptr) return 1;
  dpsWriter_.reset(writer);
  return 0;
}

std::string DpsWriter::OpenFailureDetail(int code) {
  const std::string encoder(quennet::kMjpgLibrary);
  const std::string writer(quennet::kDps5Library);
  switch (code) {
    case 9:
    case 8:
      return "not enough memory for the DPS frame blocks";
    case 7:
      return "DPS movies need the Motion-JPEG library " + encoder +
             ", which is not installed beside the program or on the library path";
    case 6:
      return encoder + " has no CreateQuennetMjpg";
    case 5:
      return "the Motion-JPEG encoder of " + encoder + " could not be made";
    case 4:
      return "DPS movies need the DPS library " + writer +
             ", which is not installed beside the program or on the library path";
    case 3:
      return writer + " has no CreateQuennetDps5";
    case 2:
      return "the Motion-JPEG encoder refused the quality";
    default:
      return "the DPS library could not make the file (code " + std::to_string(code) + ")";
  }
}

int DpsWriter::WriteDpsFrame(std::span<const uint8_t> pixels, int32_t bitsPerPixel) {
  if (encoder_ == nullptr || dpsWriter_ == nullptr) return 2;
  const size_t byteCount =
      size_t{kWidth} * static_cast<size_t>(frameHeight_) * static_cast<size_t>(bitsPerPixel / 8);
  if (byteCount == 0 || byteCount > inputFrame_.size() || pixels.size() < byteCount) return 2;
  std::copy_n(pixels.begin(), byteCount, inputFrame_.begin());

  int32_t compressedSize = static_cast<int32_t>(byteCount);
  if (encoder_->Encode(inputFrame_.data(), outputFrame_.data(), &compressedSize) != 0) return 2;
  // A size the output block cannot hold means the encoder overran it or lied.
  if (compressedSize < 0 || static_cast<size_t>(compressedSize) > outputFrame_.size()) return 2;
  return dpsWriter_->WriteFrame(outputFrame_.data(), compressedSize) != 0 ? 1 : 0;
}

void DpsWriter::CloseDpsWriter() {
  outputFrame_ = {};
  inputFrame_ = {};
  encoder_.reset();
  encoderLibrary_.Unload();
  dpsWriter_.reset();
  dpsLibrary_.Unload();
  frameHeight_ = 0;
}

}  // namespace vantoril

#include "output/rtv_writer.h"

#include <algorithm>

#include "engine/image_buffer.h"
#include "engine/message_sink.h"
#include "output/quennet_abi.h"

namespace vantoril {

bool RtvWriter::OpenRtvWriter(std::string_view path, const ImageBuffer& frame,
                              MessageSink* messages, const std::filesystem::path& libraryFolder) {
  library_ = DynamicLibrary::Load(quennet::kRtvLibrary, libraryFolder);
  if (!library_.IsLoaded()) {
    if (messages != nullptr) messages->ShowMessage(kNotInstalledMessage, MessageSink::kNoCode);
    return false;
  }
  // A cut path would name another file.
  if (path.size() >= context_.size()) {
    library_.Unload();
    return false;
  }
  context_.fill('\0');
  std::copy(path.begin(), path.end(), context_.begin());

  auto* open = library_.Function<quennet::VtOpenFunction>("VTOpen");
  if (open == nullptr) {
    library_.Unload();
    return false;
  }
  return open(context_.data(), frame.Width(), frame.Height(), frame.BitsPerPixel()) != 0;
}

bool RtvWriter::WriteRtvFrame(int32_t frameNumber, const ImageBuffer& frame) {
  if (!library_.IsLoaded()) return false;
  auto* write = library_.Function<quennet::VtWriteFunction>("VTWrite");
  if (write == nullptr) {
    library_.Unload();
    return false;
  }
  return write(context_.data(), frameNumber, frame.Width(), frame.Height(),
               frame.PixelBlock().data()) != 0;
}

bool RtvWriter::CloseRtvWriter() {
  if (!library_.IsLoaded()) return false;
  auto* close = library_.Function<quennet::VtCloseFunction>("VTClose");
  if (close == nullptr) {
    library_.Unload();
    return false;
  }
  const bool closed = close(context_.data()) != 0;
  library_.Unload();
  return closed;
}

}  // namespace vantoril

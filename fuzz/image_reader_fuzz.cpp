// Feeds arbitrary bytes to the image readers, from memory, under each kind of
// name that changes the choice of reader (".JPG" sends unknown bytes to the
// JPEG reader instead of the Targa one).

#include <cstddef>
#include <cstdint>

#include "engine/image_buffer.h"
#include "media/image_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const char* name : {"input.bmp", "input.JPG"}) {
    vantoril::ImageBuffer image(16, 16, 8);
    vantoril::ImageFile file;
    file.path = name;
    file.file.OpenMemory({data, size});
    vantoril::ReadImageByFormat(image, file);
  }
  return 0;
}

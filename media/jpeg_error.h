#pragma once

// libjpeg's fatal errors as a jump back to the caller; not part of the media
// interface.

#include <csetjmp>
#include <cstdio>

// libjpeg's headers need <cstdio> first.
#include <jpeglib.h>

namespace vantoril {

// libjpeg reports a fatal error by calling error_exit, which must not return:
// it jumps back to the setjmp on `jump`, in the frame of the call that was
// running. Warnings and the texts of errors are not printed anywhere.
struct JpegError {
  jpeg_error_mgr manager;  // first, so libjpeg's pointer to it is a pointer to this
  std::jmp_buf jump;

  // The error manager for a decompressor's `err`.
  jpeg_error_mgr* Manager() {
    jpeg_error_mgr* errors = jpeg_std_error(&manager);
    errors->error_exit = [](j_common_ptr decoder) {
      std::longjmp(reinterpret_cast<JpegError*>(decoder->err)->jump, 1);
    };
    errors->output_message = [](j_common_ptr) {};
    return errors;
  }
};

}  // namespace vantoril

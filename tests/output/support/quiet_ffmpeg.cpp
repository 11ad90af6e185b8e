// Keeps FFmpeg's informational output (encoder statistics) out of the test log.

extern "C" {
#include <libavutil/log.h>
}

namespace {

const bool kQuiet = [] {
  av_log_set_level(AV_LOG_ERROR);
  return true;
}();

}  // namespace

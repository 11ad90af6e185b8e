#pragma once

#include <cstdint>
#include <string_view>

namespace vantoril::cli {

// A one-line progress bar with the time to go, redrawn in place on stderr;
// silent when stderr is not a terminal.
class ProgressBar {
 public:
  ProgressBar();
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Show(double fraction, std::string_view caption, int64_t startTick);
  void Finish();

 private:
  bool terminal_;
  bool shown_ = false;
  int lastPercent_ = -1;
  int64_t lastDraw_ = 0;
};

}  // namespace vantoril::cli

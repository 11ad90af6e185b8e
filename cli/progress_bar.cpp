#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "output/render_range.h"

namespace vantoril::cli {

ProgressBar::ProgressBar() : terminal_(isatty(STDERR_FILENO) != 0) {}

ProgressBar::~ProgressBar() {
  Finish();
}

void ProgressBar::Show(double fraction, std::string_view caption, int64_t startTick) {
  if (!terminal_) {
    return;
  }
  const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100);
  const int64_t now = RenderTick();
  // Redraw when the figure changes, and at most ten times a second.
  if (percent == lastPercent_ && now - lastDraw_ < 100) {
    return;
  }
  lastPercent_ = percent;
  lastDraw_ = now;
  constexpr int kWidth = 30;
  const int filled = percent * kWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kWidth - filled), '.');
  std::string line = "\r" + std::string(caption.substr(0, caption.find(" ("))) + " [" + bar + "] " +
                     std::to_string(percent) + "%";
  if (startTick != 0) {
    const TimeToGo left = EstimateTimeToGo(fraction, now - startTick);
    char text[48];
    std::snprintf(text, sizeof text, "  time to go %02lld:%02lld",
                  static_cast<long long>(left.minutes), static_cast<long long>(left.seconds));
    line += text;
  }
  line += "\033[K";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  shown_ = true;
}

void ProgressBar::Finish() {
  if (shown_) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
  }
}

}  // namespace vantoril::cli

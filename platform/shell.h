#pragma once

#include <cstdint>
#include <string_view>

namespace vantoril {

// Hands a document (a file path or a URL) to the desktop to open; false when
// nothing could open it.
bool OpenDocument(std::string_view pathOrUrl);
void Beep();

// Milliseconds of the steady clock (wraps as a 32-bit count).
uint32_t TickCount();
// The steady clock in ticks, and ticks per second.
int64_t PerformanceCounter();
int64_t PerformanceFrequency();
void SleepMilliseconds(int milliseconds);

enum class SystemMetric { kMenuHeight, kCaptionHeight, kHScrollArrowWidth };
int GetSystemMetric(SystemMetric metric);

// Whether Shift or Ctrl is held now.
bool IsShiftDown();
bool IsControlDown();

}  // namespace vantoril

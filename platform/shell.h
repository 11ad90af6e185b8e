#pragma once

#include <cstdint>
#include <string_view>

namespace vantoril {

// Hands a document (a file path or a URL) to the desktop to open; false when
// nothing could open it.
bool OpenDocument(std::string_view pathOrUrl);
void Beep();

// The steady clock in ticks, and ticks per second.
int64_t PerformanceCounter();
int64_t PerformanceFrequency();
void SleepMilliseconds(int milliseconds);

enum class SystemMetric { kMenuHeight, kCaptionHeight, kHScrollArrowWidth };
int GetSystemMetric(SystemMetric metric);

// Whether Ctrl was held when the key or click being handled was pressed. Not
// whether it is held now: a busy program takes a quick Ctrl+K from its queue
// after Ctrl has been let go, and would read it as K.
bool IsControlDown();

}  // namespace vantoril

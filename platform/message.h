#pragma once

#include <cstdint>

namespace vantoril {

// A program window, as a small number; 0 is no window.
using WindowHandle = uint32_t;

// One record of the program's message queue. Kinds and parameters keep the
// numbers and packing of the message tables the program was designed with:
// mouse messages carry the client position in lParam (x low, y high, both
// signed 16-bit) and the button and modifier bits in wParam; key-down
// messages a virtual-key code, character messages a character code.
struct Message {
  WindowHandle window = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  // For a key-down: the character code TranslateMessage turns it into, or 0.
  uint32_t character = 0;
};

inline constexpr uint32_t kWmDestroy = 0x0002;
inline constexpr uint32_t kWmMove = 0x0003;
inline constexpr uint32_t kWmSize = 0x0005;
inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmQuit = 0x0012;
inline constexpr uint32_t kWmKeyDown = 0x0100;
inline constexpr uint32_t kWmKeyUp = 0x0101;
inline constexpr uint32_t kWmChar = 0x0102;
inline constexpr uint32_t kWmCommand = 0x0111;
inline constexpr uint32_t kWmHScroll = 0x0114;
inline constexpr uint32_t kWmVScroll = 0x0115;
inline constexpr uint32_t kWmMouseMove = 0x0200;
inline constexpr uint32_t kWmLButtonDown = 0x0201;
inline constexpr uint32_t kWmLButtonUp = 0x0202;
inline constexpr uint32_t kWmLButtonDblClk = 0x0203;
inline constexpr uint32_t kWmRButtonDown = 0x0204;
inline constexpr uint32_t kWmRButtonUp = 0x0205;
inline constexpr uint32_t kWmRButtonDblClk = 0x0206;
// Files were dropped on the window; TakeDroppedFiles gives their paths.
inline constexpr uint32_t kWmDropFiles = 0x0233;
// The program's private "drag ended" message between Stage and Timeline.
inline constexpr uint32_t kWmResetGestures = 1234532;

// Mouse wParam bits.
inline constexpr uintptr_t kMkLButton = 0x0001;
inline constexpr uintptr_t kMkRButton = 0x0002;
inline constexpr uintptr_t kMkShift = 0x0004;
inline constexpr uintptr_t kMkControl = 0x0008;

// Scroll requests (low word of a scroll message's wParam; the thumb position
// travels in the bits above it, wider than 16 bits so that long contents
// scroll all the way).
inline constexpr int kSbLineUp = 0;
inline constexpr int kSbLineDown = 1;
inline constexpr int kSbPageUp = 2;
inline constexpr int kSbPageDown = 3;
inline constexpr int kSbThumbPosition = 4;
inline constexpr int kSbThumbTrack = 5;
inline constexpr int kSbTop = 6;
inline constexpr int kSbBottom = 7;
inline constexpr int kSbEndScroll = 8;

constexpr intptr_t MakeLParam(int low, int high) {
  return static_cast<intptr_t>(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16));
}
constexpr int LowWord(uintptr_t value) {
  return static_cast<int>(value & 0xFFFF);
}
constexpr uintptr_t ScrollThumbParameter(int position) {
  return static_cast<uintptr_t>(position < 0 ? 0 : position) << 16;
}
constexpr int ScrollThumb(uintptr_t wParam) {
  const uintptr_t position = wParam >> 16;
  return position > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(position);
}
constexpr int MouseX(intptr_t lParam) {
  return static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF));
}
constexpr int MouseY(intptr_t lParam) {
  return static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF));
}

}  // namespace vantoril

#pragma once

#include <cstdint>

namespace vantoril {

// Virtual-key codes of the program's key tables.
namespace vk {
inline constexpr int kBack = 8;
inline constexpr int kTab = 9;
inline constexpr int kReturn = 13;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kMenu = 18;
inline constexpr int kPause = 19;
inline constexpr int kCapital = 20;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kPrior = 33;
inline constexpr int kNext = 34;
inline constexpr int kEnd = 35;
inline constexpr int kHome = 36;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kExecute = 43;
inline constexpr int kInsert = 45;
inline constexpr int kDelete = 46;
inline constexpr int kNumpad0 = 96;
inline constexpr int kNumpad4 = 100;
inline constexpr int kMultiply = 106;
inline constexpr int kAdd = 107;
inline constexpr int kSeparator = 108;
inline constexpr int kSubtract = 109;
inline constexpr int kDecimal = 110;
inline constexpr int kDivide = 111;
inline constexpr int kF1 = 112;
inline constexpr int kF3 = 114;
inline constexpr int kNumLock = 144;
inline constexpr int kOem1 = 186;       // ; :
inline constexpr int kOemPlus = 187;    // = +
inline constexpr int kOemComma = 188;   // , <
inline constexpr int kOemMinus = 189;   // - _
inline constexpr int kOemPeriod = 190;  // . >
inline constexpr int kOem2 = 191;       // / ?
inline constexpr int kOem3 = 192;       // ` ~
inline constexpr int kOem4 = 219;       // [ {
inline constexpr int kOem5 = 220;       // \ |
inline constexpr int kOem6 = 221;       // ] }
inline constexpr int kOem7 = 222;       // ' "
}  // namespace vk

// The control character Ctrl and a letter type: Ctrl+L is 12.
constexpr int ControlCharacter(char capital) {
  return capital - '@';
}

// Modifier bits of a key press, as the translation below takes them.
inline constexpr uint32_t kKeyShift = 1;
inline constexpr uint32_t kKeyControl = 2;
inline constexpr uint32_t kKeyAlt = 4;
inline constexpr uint32_t kKeyKeypad = 8;

// The virtual-key code for a Qt key value (Qt::Key) pressed with the given
// modifiers; 0 for keys the program has no code for. Shifted symbols name
// the key they are typed on (US layout): "!" is the "1" key.
int VirtualKeyFromQtKey(int qtKey, uint32_t modifiers);

// The character code a press types, as a character message carries it: the
// control code for Ctrl and a letter (Ctrl+L is 12), Backspace 8, Tab 9,
// Enter 13, Escape 27, otherwise the typed character when it is one byte of
// Latin-1 (text is the first character of the event's text, 0 when it has
// none; the key then decides). 0 when the press types nothing.
uint32_t CharacterFromQtKey(int qtKey, uint32_t modifiers, uint32_t text);

// The command letter of a control code or key code ("Key letters"): 12 is
// 'l', 188 is '>', 190 is '<'; 0 when the code is not a command key.
char CommandLetterForCode(int code);

}  // namespace vantoril

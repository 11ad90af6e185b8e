#include "platform/key_codes.h"

#include <QtCore/qnamespace.h>

#include <array>

namespace vantoril {

namespace {

struct CommandLetter {
  int code;
  char letter;
};

// The control characters of the command letters, and the keys whose letter
// is the one typed with Shift.
constexpr std::array kCommandLetters = {
    CommandLetter{ControlCharacter('A'), 'a'},
    CommandLetter{ControlCharacter('C'), 'c'},
    CommandLetter{ControlCharacter('E'), 'e'},
    CommandLetter{ControlCharacter('K'), 'k'},
    CommandLetter{ControlCharacter('L'), 'l'},
    CommandLetter{ControlCharacter('N'), 'n'},
    CommandLetter{ControlCharacter('O'), 'o'},
    CommandLetter{ControlCharacter('Q'), 'q'},
    CommandLetter{ControlCharacter('S'), 's'},
    CommandLetter{ControlCharacter('T'), 't'},
    CommandLetter{ControlCharacter('V'), 'v'},
    CommandLetter{ControlCharacter('X'), 'x'},
    CommandLetter{ControlCharacter('Y'), 'y'},
    CommandLetter{ControlCharacter('Z'), 'z'},
    CommandLetter{vk::kOemComma, '>'},
    CommandLetter{vk::kOemPeriod, '<'},
    CommandLetter{vk::kOem3, '~'},
};

// Shifted symbols arrive as their own Qt key on press; the program's codes
// name the physical key (US layout).
int SymbolKey(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Exclam:
      return '1';
    case Qt::Key_At:
      return '2';
    case Qt::Key_NumberSign:
      return '3';
    case Qt::Key_Dollar:
      return '4';
    case Qt::Key_Percent:
      return '5';
    case Qt::Key_AsciiCircum:
      return '6';
    case Qt::Key_Ampersand:
      return '7';
    case Qt::Key_Asterisk:
      return '8';
    case Qt::Key_ParenLeft:
      return '9';
    case Qt::Key_ParenRight:
      return '0';
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return vk::kOem1;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
      return vk::kOemPlus;
    case Qt::Key_Comma:
    case Qt::Key_Less:
      return vk::kOemComma;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return vk::kOemMinus;
    case Qt::Key_Period:
    case Qt::Key_Greater:
      return vk::kOemPeriod;
    case Qt::Key_Slash:
    case Qt::Key_Question:
      return vk::kOem2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
      return vk::kOem3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return vk::kOem4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return vk::kOem5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return vk::kOem6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
      return vk::kOem7;
    default:
      return 0;
  }
}

int KeypadKey(int qtKey) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    return vk::kNumpad0 + (qtKey - Qt::Key_0);
  }
  switch (qtKey) {
    case Qt::Key_Asterisk:
      return vk::kMultiply;
    case Qt::Key_Plus:
      return vk::kAdd;
    case Qt::Key_Comma:
      return vk::kSeparator;
    case Qt::Key_Minus:
      return vk::kSubtract;
    case Qt::Key_Period:
      return vk::kDecimal;
    case Qt::Key_Slash:
      return vk::kDivide;
    default:
      return 0;
  }
}

}  // namespace

int VirtualKeyFromQtKey(int qtKey, uint32_t modifiers) {
  if ((modifiers & kKeyKeypad) != 0) {
    if (const int code = KeypadKey(qtKey); code != 0) {
      return code;
    }
  }
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
    return 'A' + (qtKey - Qt::Key_A);
  }
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    return '0' + (qtKey - Qt::Key_0);
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
    return vk::kF1 + (qtKey - Qt::Key_F1);
  }
  switch (qtKey) {
    case Qt::Key_Backspace:
      return vk::kBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return vk::kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return vk::kReturn;
    case Qt::Key_Shift:
      return vk::kShift;
    case Qt::Key_Control:
      return vk::kControl;
    case Qt::Key_Alt:
      return vk::kMenu;
    case Qt::Key_Pause:
      return vk::kPause;
    case Qt::Key_CapsLock:
      return vk::kCapital;
    case Qt::Key_Escape:
      return vk::kEscape;
    case Qt::Key_Space:
      return vk::kSpace;
    case Qt::Key_PageUp:
      return vk::kPrior;
    case Qt::Key_PageDown:
      return vk::kNext;
    case Qt::Key_End:
      return vk::kEnd;
    case Qt::Key_Home:
      return vk::kHome;
    case Qt::Key_Left:
      return vk::kLeft;
    case Qt::Key_Up:
      return vk::kUp;
    case Qt::Key_Right:
      return vk::kRight;
    case Qt::Key_Down:
      return vk::kDown;
    case Qt::Key_Execute:
      return vk::kExecute;
    case Qt::Key_Insert:
      return vk::kInsert;
    case Qt::Key_Delete:
      return vk::kDelete;
    case Qt::Key_NumLock:
      return vk::kNumLock;
    default:
      return SymbolKey(qtKey);
  }
}

uint32_t CharacterFromQtKey(int qtKey, uint32_t modifiers, uint32_t text) {
  if ((modifiers & kKeyAlt) != 0) {
    return 0;
  }
  switch (qtKey) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Delete:
      return 0;  // Delete types nothing; its key code is 46
    default:
      break;
  }
  if ((modifiers & kKeyControl) != 0) {
    // Computed, not taken from the text: X11 and synthetic events disagree.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
      return static_cast<uint32_t>(qtKey - Qt::Key_A + 1);
    }
    switch (qtKey) {
      case Qt::Key_BracketLeft:
        return 27;
      case Qt::Key_Backslash:
        return 28;
      case Qt::Key_BracketRight:
        return 29;
      default:
        return 0;
    }
  }
  if (text >= 32 && text < 256 && text != 127) {
    return text;
  }
  if (text != 0) {
    return 0;  // beyond one byte of Latin-1, or a control character
  }
  // Events without text (synthetic ones): the key's own character.
  const bool shift = (modifiers & kKeyShift) != 0;
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
    return static_cast<uint32_t>((shift ? 'A' : 'a') + (qtKey - Qt::Key_A));
  }
  if (qtKey >= Qt::Key_Space && qtKey <= Qt::Key_AsciiTilde) {
    return static_cast<uint32_t>(qtKey);  // Qt's printable keys are their ASCII codes
  }
  return 0;
}

char CommandLetterForCode(int code) {
  for (const CommandLetter& entry : kCommandLetters) {
    if (entry.code == code) {
      return entry.letter;
    }
  }
  return 0;
}

}  // namespace vantoril

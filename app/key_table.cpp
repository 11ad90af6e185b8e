#include "app/key_table.h"

#include <array>

#include "platform/key_codes.h"

namespace vantoril {
namespace {

constexpr int kBackspace = '\b';

using enum KeyAction;

// The letter keys arrive as their capitals' codes. Several transport keys
// share a code with a typed lower-case letter ('p' and F1, 'l' and the
// keypad separator ...); both messages run them, as they always have.
constexpr std::array kKeyDown = {
    KeyBinding{vk::kOemComma, kEnlargeTimeline},  // with or without Ctrl
    KeyBinding{vk::kOemPeriod, kContractTimeline},
    KeyBinding{vk::kReturn, kSetKey},
    KeyBinding{vk::kDelete, kDelete},
    KeyBinding{vk::kBack, kDelete},
    KeyBinding{'P', kPlay},
    KeyBinding{vk::kF1, kPlay},
    KeyBinding{vk::kSpace, kPlay},
    KeyBinding{vk::kNumpad0, kPlay},
    KeyBinding{'L', kPlay},
    KeyBinding{vk::kSeparator, kPlay},
    KeyBinding{'R', kPlayBackwards},
    KeyBinding{vk::kF3, kPlayBackwards},
    KeyBinding{'J', kPlayBackwards},
    KeyBinding{vk::kMultiply, kPlayBackwards},
    KeyBinding{'K', kStop},
    KeyBinding{vk::kAdd, kStop},
    KeyBinding{'0', kPlayFromStart},
    KeyBinding{vk::kExecute, kStepForward},
    KeyBinding{vk::kInsert, kStepBack},
    KeyBinding{vk::kHome, kGoToStart},
    KeyBinding{vk::kEnd, kGoToEnd},
    KeyBinding{vk::kPrior, kPreviousPicture},
    KeyBinding{vk::kNext, kNextPicture},
    KeyBinding{vk::kNumpad4, kFieldPreviewStep},
};

// A typed "." is the Contract key's character, not Delete, and a typed
// Return sets no key: neither is here.
constexpr std::array kCharacter = {
    KeyBinding{ControlCharacter('Z'), kUndo},
    KeyBinding{ControlCharacter('Y'), kRedo},
    KeyBinding{ControlCharacter('X'), kCut},
    KeyBinding{ControlCharacter('V'), kPaste},
    KeyBinding{ControlCharacter('C'), kCopy},
    KeyBinding{ControlCharacter('S'), kQuickSave},
    KeyBinding{ControlCharacter('Q'), kExit},
    KeyBinding{ControlCharacter('O'), kLoadShow},
    KeyBinding{ControlCharacter('N'), kNewShow},
    KeyBinding{ControlCharacter('L'), kLoadPicture},
    KeyBinding{ControlCharacter('K'), kMakeMovie},
    KeyBinding{'\t', kNextKeyFrame},
    KeyBinding{kBackspace, kDelete},
    KeyBinding{'P', kPlay},
    KeyBinding{'p', kPlay},
    KeyBinding{' ', kPlay},
    KeyBinding{'`', kPlay},
    KeyBinding{'L', kPlay},
    KeyBinding{'l', kPlay},
    KeyBinding{'R', kPlayBackwards},
    KeyBinding{'r', kPlayBackwards},
    KeyBinding{'J', kPlayBackwards},
    KeyBinding{'j', kPlayBackwards},
    KeyBinding{'K', kStop},
    KeyBinding{'k', kStop},
    KeyBinding{'0', kPlayFromStart},
    KeyBinding{'+', kStepForward},
    KeyBinding{'-', kStepBack},
    // The punctuation that shares its code with the keys Home, End, Page
    // Up and Page Down.
    KeyBinding{'$', kGoToStart},
    KeyBinding{'#', kGoToEnd},
    KeyBinding{'!', kPreviousPicture},
    KeyBinding{'"', kNextPicture},
    KeyBinding{'d', kFieldPreviewStep},
};

}  // namespace

std::span<const KeyBinding> KeyDownTable() {
  return kKeyDown;
}

std::span<const KeyBinding> CharacterTable() {
  return kCharacter;
}

std::optional<KeyAction> FindKeyAction(std::span<const KeyBinding> table, int code) {
  for (const KeyBinding& binding : table) {
    if (binding.code == code) {
      return binding.action;
    }
  }
  return std::nullopt;
}

bool KeyDownWorksWithControl(int code) {
  return code == vk::kOemComma || code == vk::kOemPeriod;
}

}  // namespace vantoril

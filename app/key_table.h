#pragma once

#include <optional>
#include <span>

namespace vantoril {

// What a key of the main window does.
enum class KeyAction {
  kEnlargeTimeline,
  kContractTimeline,
  kSetKey,
  kUndo,
  kRedo,
  kCut,
  kCopy,
  kPaste,
  kQuickSave,
  kExit,
  kLoadShow,
  kNewShow,
  kLoadPicture,
  kMakeMovie,
  kNextKeyFrame,
  kDelete,
  kPlay,
  kPlayBackwards,
  kStop,
  kPlayFromStart,
  kStepForward,
  kStepBack,
  kGoToStart,
  kGoToEnd,
  kPreviousPicture,
  kNextPicture,
  kFieldPreviewStep,
};

struct KeyBinding {
  int code;
  KeyAction action;
};

// The main window's keys by the message they arrive in: key codes of key
// presses, characters of typed keys. A code in neither table does nothing.
std::span<const KeyBinding> KeyDownTable();
std::span<const KeyBinding> CharacterTable();

std::optional<KeyAction> FindKeyAction(std::span<const KeyBinding> table, int code);

// Whether a key press keeps its meaning with Ctrl held: the others arrive as
// control characters instead.
bool KeyDownWorksWithControl(int code);

}  // namespace vantoril

#pragma once

#include <memory>

namespace vantoril {

// While one lives, the program takes no commands: its menu bars are greyed
// and files dragged onto its windows are refused; a window's new size and
// place wait in the queue until the last one ends. For the loops that keep
// the program until they end and drop what they do not handle (a dialog
// drawn in a window, a movie being made), where a command would be lost
// without a word.
class CommandsHeld {
 public:
  CommandsHeld();
  ~CommandsHeld();
  CommandsHeld(const CommandsHeld&) = delete;
  CommandsHeld& operator=(const CommandsHeld&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

bool CommandsAreHeld();

}  // namespace vantoril

#pragma once

#include <string_view>

namespace vantoril {

// Where the program's fixed messages go: a message box in the program, stderr
// in the command-line tool, a list in tests.
class MessageSink {
 public:
  // A code of kNoCode shows the text alone; any other code is shown after it
  // as "  [ code ]".
  static constexpr long kNoCode = -9999;

  virtual ~MessageSink() = default;
  virtual void ShowMessage(std::string_view text, long code) = 0;
  // News that is no error (a movie made, or stopped on request); the program
  // shows it with the information icon.
  virtual void ShowInformation(std::string_view text) { ShowMessage(text, kNoCode); }
};

// Shows nothing: for reads whose problems are told some other way.
class QuietMessageSink final : public MessageSink {
 public:
  void ShowMessage(std::string_view, long) override {}
};

}  // namespace vantoril

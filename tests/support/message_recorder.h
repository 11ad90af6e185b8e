#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/message_sink.h"

namespace vantoril::test {

// Keeps every message shown, in order; news that is no error is told apart
// by a leading "i: ".
class MessageRecorder : public MessageSink {
 public:
  void ShowMessage(std::string_view text, long code) override {
    texts.emplace_back(text);
    codes.push_back(code);
  }
  void ShowInformation(std::string_view text) override {
    texts.push_back("i: " + std::string(text));
    codes.push_back(kNoCode);
  }
  void Clear() {
    texts.clear();
    codes.clear();
  }

  std::vector<std::string> texts;
  std::vector<long> codes;
};

}  // namespace vantoril::test

#pragma once

#include <cstdint>
#include <memory>

#include "platform/message.h"

namespace vantoril {

// Posts `message` to `window` every `milliseconds` while it lives, from the
// platform's event processing (inside GetMessage and PeekMessage), as a
// window timer does. A loop that takes the message and does not dispatch it
// only delays the work to the next one.
class MessageTimer {
 public:
  MessageTimer(WindowHandle window, uint32_t message, int milliseconds);
  ~MessageTimer();
  MessageTimer(const MessageTimer&) = delete;
  MessageTimer& operator=(const MessageTimer&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vantoril

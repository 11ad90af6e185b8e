#include "platform/message_timer.h"

#include <QTimer>

#include "platform/message_queue.h"

namespace vantoril {

struct MessageTimer::Impl {
  QTimer timer;
};

MessageTimer::MessageTimer(WindowHandle window, uint32_t message, int milliseconds)
    : impl_(std::make_unique<Impl>()) {
  QObject::connect(&impl_->timer, &QTimer::timeout,
                   [window, message] { PostMessage(window, message, 0, 0); });
  impl_->timer.start(milliseconds);
}

MessageTimer::~MessageTimer() = default;

}  // namespace vantoril

#pragma once

#include <functional>

#include "platform/message.h"

namespace vantoril {

// Looks at a message before it is dispatched; true keeps it from its window.
using MessageIntercept = std::function<bool(const Message&)>;

// The main loop: a 10 ms pause before every message, then the next message;
// with `filter` only messages for the windows of AppWindowList are
// translated and dispatched (messages for no window are dropped). Gives the
// code of the quit request that ends it.
int RunMessageLoop(bool filter, const MessageIntercept& intercept = {});

}  // namespace vantoril

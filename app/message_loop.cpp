#include "app/message_loop.h"

#include "platform/app_window_list.h"
#include "platform/message_queue.h"
#include "platform/shell.h"

namespace vantoril {

int RunMessageLoop(bool filter, const MessageIntercept& intercept) {
  Message message;
  for (;;) {
    SleepMilliseconds(10);
    if (!GetMessage(message)) {
      return static_cast<int>(message.wParam);
    }
    if (filter && !AppWindowList::Contains(message.window)) {
      continue;
    }
    if (intercept && intercept(message)) {
      continue;
    }
    TranslateMessage(message);
    DispatchMessage(message);
  }
}

}  // namespace vantoril

#include "platform/message_queue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <deque>

#include "platform/window.h"

namespace vantoril {

namespace {

struct Queue {
  std::deque<Message> messages;
  bool quitPending = false;
  int quitCode = 0;
};

Queue& TheQueue() {
  static Queue queue;
  return queue;
}

bool TakeNext(Message& message) {
  Queue& queue = TheQueue();
  if (!queue.messages.empty()) {
    message = queue.messages.front();
    queue.messages.pop_front();
    return true;
  }
  return false;
}

}  // namespace

void EnqueueMessage(const Message& message) {
  Queue& queue = TheQueue();
  // Mouse moves are coalesced as the platform the program was designed on
  // does: only the latest position waits in the queue.
  if (message.message == kWmMouseMove && !queue.messages.empty() &&
      queue.messages.back().message == kWmMouseMove &&
      queue.messages.back().window == message.window) {
    queue.messages.back() = message;
    return;
  }
  queue.messages.push_back(message);
}

void PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  TheQueue().messages.push_back(Message{window, message, wParam, lParam, 0});
}

void PostQuitMessage(int code) {
  TheQueue().quitPending = true;
  TheQueue().quitCode = code;
}

int QuitCode() {
  return TheQueue().quitCode;
}

bool GetMessage(Message& message) {
  for (;;) {
    if (TakeNext(message)) {
      return true;
    }
    Queue& queue = TheQueue();
    if (queue.quitPending || QCoreApplication::instance() == nullptr) {
      queue.quitPending = false;
      message = Message{0, kWmQuit, static_cast<uintptr_t>(queue.quitCode), 0, 0};
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

bool PeekMessage(Message& message) {
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  if (TakeNext(message)) {
    return true;
  }
  Queue& queue = TheQueue();
  if (queue.quitPending) {
    queue.quitPending = false;
    message = Message{0, kWmQuit, static_cast<uintptr_t>(queue.quitCode), 0, 0};
    return true;
  }
  return false;
}

void ShowDrawingNow() {
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
}

void TranslateMessage(const Message& message) {
  if (message.message == kWmKeyDown && message.character != 0) {
    TheQueue().messages.push_front(
        Message{message.window, kWmChar, message.character, message.lParam, 0});
  }
}

void DispatchMessage(const Message& message) {
  SendMessage(message.window, message.message, message.wParam, message.lParam);
}

void SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window == 0) {
    return;
  }
  Window* target = Window::FromHandle(window);
  if (target != nullptr && target->IsCreated()) {
    target->Deliver(message, wParam, lParam);
  }
}

size_t QueuedMessageCount() {
  return TheQueue().messages.size();
}

void ClearMessageQueue() {
  TheQueue().messages.clear();
  TheQueue().quitPending = false;
}

}  // namespace vantoril

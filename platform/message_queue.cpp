#include "platform/message_queue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <deque>
#include <optional>

#include "platform/commands_held.h"
#include "platform/window.h"

namespace vantoril {

namespace {

// The user's input carries the Shift and Ctrl keys held when it happened;
// what the program posts itself carries none.
struct Entry {
  Message message;
  std::optional<uint32_t> heldKeys;
};

struct Queue {
  std::deque<Entry> messages;
  std::deque<Entry> waitingForTheHold;
  bool quitPending = false;
  int quitCode = 0;
  uint32_t heldKeys = 0;  // as of the last input taken
};

Queue& TheQueue() {
  static Queue queue;
  return queue;
}

// A window's size and move messages wait while commands are held: the loops
// that hold them (a dialog drawn on the Stage, a render) would drop them, and
// the windows would keep their old layout in a window of a new size. The
// first look after the hold takes them first.
bool Waits(const Message& message) {
  return (message.message == kWmSize || message.message == kWmMove) && CommandsAreHeld();
}

bool TakeNext(Message& message) {
  Queue& queue = TheQueue();
  if (!CommandsAreHeld() && !queue.waitingForTheHold.empty()) {
    queue.messages.insert(queue.messages.begin(), queue.waitingForTheHold.begin(),
                          queue.waitingForTheHold.end());
    queue.waitingForTheHold.clear();
  }
  while (!queue.messages.empty() && Waits(queue.messages.front().message)) {
    queue.waitingForTheHold.push_back(queue.messages.front());
    queue.messages.pop_front();
  }
  if (!queue.messages.empty()) {
    const Entry& next = queue.messages.front();
    message = next.message;
    if (next.heldKeys) queue.heldKeys = *next.heldKeys;
    queue.messages.pop_front();
    return true;
  }
  return false;
}

}  // namespace

void EnqueueMessage(const Message& message, std::optional<uint32_t> heldKeys) {
  Queue& queue = TheQueue();
  // Mouse moves are coalesced as the platform the program was designed on
  // does: only the latest position waits in the queue.
  if (message.message == kWmMouseMove && !queue.messages.empty() &&
      queue.messages.back().message.message == kWmMouseMove &&
      queue.messages.back().message.window == message.window) {
    queue.messages.back() = Entry{message, heldKeys};
    return;
  }
  queue.messages.push_back(Entry{message, heldKeys});
}

void PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  TheQueue().messages.push_back(Entry{Message{window, message, wParam, lParam, 0}, std::nullopt});
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
    // Taken next: the keys held stay those of its key-down.
    TheQueue().messages.push_front(Entry{
        Message{message.window, kWmChar, message.character, message.lParam, 0}, std::nullopt});
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

uint32_t HeldKeys() {
  return TheQueue().heldKeys;
}

size_t QueuedMessageCount() {
  return TheQueue().messages.size() + TheQueue().waitingForTheHold.size();
}

void ClearMessageQueue() {
  TheQueue().messages.clear();
  TheQueue().waitingForTheHold.clear();
  TheQueue().quitPending = false;
  TheQueue().heldKeys = 0;
}

}  // namespace vantoril

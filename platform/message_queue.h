#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/message.h"

namespace vantoril {

// The program's one message queue. Input from the windows, posted messages
// and the quit request all arrive here; the main loop and every modal loop
// take them out with GetMessage or PeekMessage.

void PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The next GetMessage (once no other message is waiting) gives false with
// this code in QuitCode(); PeekMessage gives it as a kWmQuit message.
void PostQuitMessage(int code);
int QuitCode();

// Blocks, running the platform's event processing, until a message is
// queued; false for the quit request.
bool GetMessage(Message& message);
// Processes pending platform events without waiting, then takes the next
// message if there is one.
bool PeekMessage(Message& message);
// A key-down that types a character queues that character message next.
void TranslateMessage(const Message& message);
// Hands the message to its window's procedure; messages for no window, or
// for a window that no longer exists, go nowhere.
void DispatchMessage(const Message& message);
// Calls the window's procedure at once.
void SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Puts on the screen what the windows have drawn, taking no input (that
// waits for the message loop): for progress shown during long work.
void ShowDrawingNow();

// The Shift and Ctrl keys (kMkShift, kMkControl) held when the last input
// taken from the queue happened.
uint32_t HeldKeys();

size_t QueuedMessageCount();
void ClearMessageQueue();

// Platform code: input appended by the windows, with the Shift and Ctrl keys
// (kMkShift, kMkControl) held when it happened.
void EnqueueMessage(const Message& message, std::optional<uint32_t> heldKeys = std::nullopt);

}  // namespace vantoril

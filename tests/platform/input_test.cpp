// Keys and mouse: Qt events on a window become the program's messages.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <tuple>
#include <utility>
#include <vector>

#include "gui_support/qt_environment.h"
#include "platform/key_codes.h"
#include "platform/message_queue.h"
#include "platform/window_impl.h"

namespace vantoril {
namespace {

TEST(KeyCodes, QtKeysMapToVirtualKeyCodes) {
  // "<" and ">" are on the "," and "." keys; Shift+1 arrives as "!"; the keypad has its own codes.
  for (const auto& [key, modifiers, code] : {std::tuple(Qt::Key_Delete, 0u, 46),
                                             std::tuple(Qt::Key_Comma, 0u, 188),
                                             std::tuple(Qt::Key_Less, kKeyShift, 188),
                                             std::tuple(Qt::Key_Period, 0u, 190),
                                             std::tuple(Qt::Key_Greater, kKeyShift, 190),
                                             std::tuple(Qt::Key_F1, 0u, 112),
                                             std::tuple(Qt::Key_F3, 0u, 114),
                                             std::tuple(Qt::Key_L, kKeyControl, int('L')),
                                             std::tuple(Qt::Key_Exclam, kKeyShift, int('1')),
                                             std::tuple(Qt::Key_PageUp, 0u, 33),
                                             std::tuple(Qt::Key_Insert, 0u, 45),
                                             std::tuple(Qt::Key_Return, 0u, 13),
                                             std::tuple(Qt::Key_QuoteLeft, 0u, 192),
                                             std::tuple(Qt::Key_0, 0u, 48),
                                             std::tuple(Qt::Key_unknown, 0u, 0),
                                             std::tuple(Qt::Key_Enter, kKeyKeypad, 13),
                                             std::tuple(Qt::Key_0, kKeyKeypad, 96),
                                             std::tuple(Qt::Key_4, kKeyKeypad, 100),
                                             std::tuple(Qt::Key_Asterisk, kKeyKeypad, 106),
                                             std::tuple(Qt::Key_Plus, kKeyKeypad, 107),
                                             std::tuple(Qt::Key_Comma, kKeyKeypad, 108)}) {
    EXPECT_EQ(VirtualKeyFromQtKey(key, modifiers), code) << key << " " << modifiers;
  }
}

TEST(KeyCodes, CharactersAndControlCodes) {
  // Text is ignored with Ctrl; without text the character is computed; arrows, Alt and characters
  // wider than a byte type nothing (Delete and "." are pinned with the key presses below).
  using Case = std::tuple<int, uint32_t, uint32_t, uint32_t>;
  for (const auto& [key, modifiers, text, character] :
       {Case(Qt::Key_L, kKeyControl, 0, 12), Case(Qt::Key_L, kKeyControl, 'l', 12),
        Case(Qt::Key_Z, kKeyControl | kKeyShift, 26, 26), Case(Qt::Key_1, kKeyControl, 0, 0),
        Case(Qt::Key_P, 0, 'p', 'p'), Case(Qt::Key_P, kKeyShift, 0, 'P'),
        Case(Qt::Key_QuoteDbl, kKeyShift, 0, '"'), Case(Qt::Key_Escape, 0, 27, 27),
        Case(Qt::Key_Return, 0, 0, 13), Case(Qt::Key_Backspace, 0, 8, 8),
        Case(Qt::Key_Tab, 0, 0, 9), Case(Qt::Key_Left, 0, 0, 0), Case(Qt::Key_A, kKeyAlt, 'a', 0),
        Case(Qt::Key_unknown, 0, 0x20AC, 0)}) {
    EXPECT_EQ(CharacterFromQtKey(key, modifiers, text), character)
        << key << " " << modifiers << " " << text;
  }
}

TEST(KeyCodes, CommandLetters) {
  for (const auto& [code, letter] :
       {std::pair(12, 'l'), std::pair(26, 'z'), std::pair(188, '>'), std::pair(190, '<'),
        std::pair(192, '~'), std::pair(2, '\0'), std::pair(int('l'), '\0')}) {
    EXPECT_EQ(CommandLetterForCode(code), letter) << code;
  }
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::ShowWindow(window_, 160, 120));
    canvas_ = CanvasOf(window_);
  }

  std::vector<Message> Drain() {
    std::vector<Message> messages;
    Message message;
    while (QueuedMessageCount() > 0 && PeekMessage(message)) messages.push_back(message);
    return messages;
  }

  Window window_;
  QWidget* canvas_ = nullptr;
};

TEST_F(InputTest, KeyPressesGiveAKeyDownThatTranslatesIntoACharacter) {
  // Delete types nothing; a typed "." gives 46 as well (which the program reads as Delete).
  for (const auto& [key, modifiers, text, keyDown, character] :
       {std::tuple(Qt::Key_L, Qt::ControlModifier, "\x0c", int('L'), 12),
        std::tuple(Qt::Key_Delete, Qt::NoModifier, "\x7f", 46, 0),
        std::tuple(Qt::Key_Period, Qt::NoModifier, ".", 190, 46)}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, QString::fromLatin1(text));
    QCoreApplication::sendEvent(canvas_, &press);
    Message message;
    ASSERT_TRUE(PeekMessage(message));
    EXPECT_EQ(message.window, window_.Handle());
    EXPECT_EQ(message.message, kWmKeyDown);
    EXPECT_EQ(message.wParam, uintptr_t(keyDown));
    EXPECT_EQ(QueuedMessageCount(), 0u);  // the character comes only through translation
    TranslateMessage(message);
    ASSERT_EQ(QueuedMessageCount(), character == 0 ? 0u : 1u) << key;
    if (character == 0) continue;
    ASSERT_TRUE(PeekMessage(message));
    EXPECT_EQ(message.message, kWmChar);
    EXPECT_EQ(message.wParam, uintptr_t(character));
  }
}

TEST_F(InputTest, MouseEventsCarryTheirPositionAndButtons) {
  QTest::mousePress(canvas_, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 40));
  QTest::mouseRelease(canvas_, Qt::LeftButton, Qt::NoModifier, QPoint(31, 41));
  QTest::mousePress(canvas_, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
  QTest::mouseRelease(canvas_, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
  QTest::mouseDClick(canvas_, Qt::LeftButton, Qt::NoModifier, QPoint(7, 8));
  std::vector<Message> clicks;
  std::vector<uint32_t> kinds;
  for (const Message& m : Drain()) {
    if (m.message != kWmMouseMove) clicks.push_back(m), kinds.push_back(m.message);
  }
  ASSERT_GE(kinds.size(), 5u);
  EXPECT_EQ(std::vector(kinds.begin(), kinds.begin() + 4),
            (std::vector<uint32_t>{kWmLButtonDown, kWmLButtonUp, kWmRButtonDown, kWmRButtonUp}));
  EXPECT_NE(std::find(kinds.begin(), kinds.end(), kWmLButtonDblClk), kinds.end());
  EXPECT_EQ(MouseX(clicks[0].lParam), 30);
  EXPECT_EQ(MouseY(clicks[0].lParam), 40);
  EXPECT_EQ(clicks[0].wParam & (kMkLButton | kMkShift), kMkLButton | kMkShift);
}

TEST_F(InputTest, MouseMovesAreCoalescedAndPositionsKeepTheirSign) {
  for (int x = 0; x <= 10; ++x) {  // the last one outside
    const QPointF at = x < 10 ? QPointF(x, 5) : QPointF(-7, -3);
    QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas_, &move);
  }
  const std::vector<Message> messages = Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(MouseX(messages[0].lParam), -7);
  EXPECT_EQ(MouseY(messages[0].lParam), -3);
}

}  // namespace
}  // namespace vantoril

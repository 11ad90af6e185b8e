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

// A Qt key, its modifiers, the text it carries and the code expected of it.
using Case = std::tuple<int, uint32_t, uint32_t, int>;

TEST(KeyCodes, QtKeysMapToVirtualKeyCodes) {
  // "<" and ">" are on the "," and "." keys; Shift+1 arrives as "!".
  for (const auto& [key, modifiers, ignoredText, code] :
       {Case(Qt::Key_Delete, 0, 0, 46), Case(Qt::Key_Comma, 0, 0, 188),
        Case(Qt::Key_Less, kKeyShift, 0, 188), Case(Qt::Key_Period, 0, 0, 190),
        Case(Qt::Key_Greater, kKeyShift, 0, 190), Case(Qt::Key_F1, 0, 0, 112),
        Case(Qt::Key_F3, 0, 0, 114), Case(Qt::Key_L, kKeyControl, 0, 'L'),
        Case(Qt::Key_Exclam, kKeyShift, 0, '1'), Case(Qt::Key_PageUp, 0, 0, 33),
        Case(Qt::Key_Insert, 0, 0, 45), Case(Qt::Key_Return, 0, 0, 13),
        Case(Qt::Key_QuoteLeft, 0, 0, 192), Case(Qt::Key_0, 0, 0, 48),
        Case(Qt::Key_unknown, 0, 0, 0)}) {
    EXPECT_EQ(VirtualKeyFromQtKey(key, modifiers), code) << key << " " << modifiers;
  }
  // The numeric keypad has its own codes.
  for (const auto& [key, modifiers, ignoredText, code] :
       {Case(Qt::Key_Enter, kKeyKeypad, 0, 13), Case(Qt::Key_0, kKeyKeypad, 0, 96),
        Case(Qt::Key_4, kKeyKeypad, 0, 100), Case(Qt::Key_Asterisk, kKeyKeypad, 0, 106),
        Case(Qt::Key_Plus, kKeyKeypad, 0, 107), Case(Qt::Key_Comma, kKeyKeypad, 0, 108)}) {
    EXPECT_EQ(VirtualKeyFromQtKey(key, modifiers), code) << key << " " << modifiers;
  }
}

TEST(KeyCodes, CharactersAndControlCodes) {
  // Text is ignored with Ctrl; without text the character is computed; Delete, arrows, Alt and
  // characters wider than a byte type nothing.
  for (const auto& [key, modifiers, text, character] :
       {Case(Qt::Key_L, kKeyControl, 0, 12), Case(Qt::Key_L, kKeyControl, 'l', 12),
        Case(Qt::Key_Z, kKeyControl | kKeyShift, 26, 26), Case(Qt::Key_1, kKeyControl, 0, 0),
        Case(Qt::Key_P, 0, 'p', 'p'), Case(Qt::Key_P, kKeyShift, 0, 'P'),
        Case(Qt::Key_Period, 0, '.', '.'), Case(Qt::Key_QuoteDbl, kKeyShift, 0, '"'),
        Case(Qt::Key_Escape, 0, 27, 27), Case(Qt::Key_Return, 0, 0, 13),
        Case(Qt::Key_Backspace, 0, 8, 8), Case(Qt::Key_Tab, 0, 0, 9),
        Case(Qt::Key_Delete, 0, 127, 0), Case(Qt::Key_Left, 0, 0, 0),
        Case(Qt::Key_A, kKeyAlt, 'a', 0), Case(Qt::Key_unknown, 0, 0x20AC, 0)}) {
    EXPECT_EQ(CharacterFromQtKey(key, modifiers, text), uint32_t(character))
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
    ClearMessageQueue();
    ASSERT_TRUE(window_.Create(nullptr, kStylePopup));
    window_.Move(Rect{0, 0, 160, 120}, false);
    window_.Show(kShowNormal);
    testing::ProcessEvents();
    ClearMessageQueue();
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

TEST_F(InputTest, AKeyPressGivesAKeyDownThatTranslatesIntoACharacter) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_L, Qt::ControlModifier, QStringLiteral("\x0c"));
  QCoreApplication::sendEvent(canvas_, &press);
  Message message;
  ASSERT_TRUE(PeekMessage(message));
  EXPECT_EQ(message.window, window_.Handle());
  EXPECT_EQ(message.message, kWmKeyDown);
  EXPECT_EQ(message.wParam, uintptr_t('L'));
  EXPECT_EQ(QueuedMessageCount(), 0u);  // the character comes only through translation
  TranslateMessage(message);
  ASSERT_TRUE(PeekMessage(message));
  EXPECT_EQ(message.message, kWmChar);
  EXPECT_EQ(message.wParam, 12u);

  // Delete: a key-down 46 and no character.
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
  QCoreApplication::sendEvent(canvas_, &del);
  ASSERT_TRUE(PeekMessage(message));
  EXPECT_EQ(message.wParam, 46u);
  TranslateMessage(message);
  EXPECT_EQ(QueuedMessageCount(), 0u);

  // A typed "." gives the character 46 as well (which the program reads as Delete).
  QTest::keyClick(canvas_, Qt::Key_Period, Qt::NoModifier);
  ASSERT_TRUE(PeekMessage(message));
  EXPECT_EQ(message.wParam, 190u);
  TranslateMessage(message);
  ASSERT_TRUE(PeekMessage(message));
  EXPECT_EQ(message.message, kWmChar);
  EXPECT_EQ(message.wParam, 46u);
}

TEST_F(InputTest, MouseEventsCarryTheirPositionAndButtons) {
  QTest::mousePress(canvas_, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 40));
  QTest::mouseRelease(canvas_, Qt::LeftButton, Qt::NoModifier, QPoint(31, 41));
  QTest::mousePress(canvas_, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
  QTest::mouseRelease(canvas_, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
  QTest::mouseDClick(canvas_, Qt::LeftButton, Qt::NoModifier, QPoint(7, 8));
  const std::vector<Message> messages = Drain();
  std::vector<uint32_t> kinds;
  for (const Message& m : messages) {
    if (m.message != kWmMouseMove) kinds.push_back(m.message);
  }
  ASSERT_GE(kinds.size(), 5u);
  EXPECT_EQ(kinds[0], kWmLButtonDown);
  EXPECT_EQ(kinds[1], kWmLButtonUp);
  EXPECT_EQ(kinds[2], kWmRButtonDown);
  EXPECT_EQ(kinds[3], kWmRButtonUp);
  EXPECT_NE(std::find(kinds.begin(), kinds.end(), kWmLButtonDblClk), kinds.end());
  const Message& down = *std::find_if(messages.begin(), messages.end(),
                                      [](const Message& m) { return m.message == kWmLButtonDown; });
  EXPECT_EQ(MouseX(down.lParam), 30);
  EXPECT_EQ(MouseY(down.lParam), 40);
  EXPECT_EQ(down.wParam & (kMkLButton | kMkShift), kMkLButton | kMkShift);
}

TEST_F(InputTest, MouseMovesAreCoalescedAndPositionsKeepTheirSign) {
  for (int x = 0; x < 10; ++x) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 5), QPointF(x, 5), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(canvas_, &move);
  }
  QMouseEvent outside(QEvent::MouseMove, QPointF(-7, -3), QPointF(-7, -3), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(canvas_, &outside);
  const std::vector<Message> messages = Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(MouseX(messages[0].lParam), -7);
  EXPECT_EQ(MouseY(messages[0].lParam), -3);
}

}  // namespace
}  // namespace vantoril

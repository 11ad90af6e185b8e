// Keys and mouse: Qt events on a window become the program's messages.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <vector>

#include "gui_support/qt_environment.h"
#include "platform/key_codes.h"
#include "platform/message_queue.h"
#include "platform/window_impl.h"

namespace vantoril {
namespace {

TEST(KeyCodes, QtKeysMapToVirtualKeyCodes) {
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Delete, 0), 46);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Comma, 0), 188);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Less, kKeyShift), 188);  // "<" is on the "," key
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Period, 0), 190);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Greater, kKeyShift), 190);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_F1, 0), 112);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_F3, 0), 114);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_L, kKeyControl), 'L');
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Exclam, kKeyShift), '1');  // Shift+1 arrives as "!"
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_PageUp, 0), 33);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Insert, 0), 45);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Return, 0), 13);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Enter, kKeyKeypad), 13);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_QuoteLeft, 0), 192);
  // The numeric keypad has its own codes.
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_0, kKeyKeypad), 96);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_4, kKeyKeypad), 100);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Asterisk, kKeyKeypad), 106);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Plus, kKeyKeypad), 107);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Comma, kKeyKeypad), 108);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_0, 0), 48);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_unknown, 0), 0);
}

TEST(KeyCodes, CharactersAndControlCodes) {
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_L, kKeyControl, 0), 12u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_L, kKeyControl, 'l'), 12u);  // text ignored with Ctrl
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_Z, kKeyControl | kKeyShift, 26), 26u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_1, kKeyControl, 0), 0u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_P, 0, 'p'), uint32_t('p'));
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_P, kKeyShift, 0), uint32_t('P'));  // no text: computed
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_Period, 0, '.'), uint32_t('.'));
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_QuoteDbl, kKeyShift, 0), uint32_t('"'));
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_Escape, 0, 27), 27u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_Return, 0, 0), 13u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_Backspace, 0, 8), 8u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_Tab, 0, 0), 9u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_Delete, 0, 127), 0u);  // Delete types nothing
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_Left, 0, 0), 0u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_A, kKeyAlt, 'a'), 0u);
  EXPECT_EQ(CharacterFromQtKey(Qt::Key_unknown, 0, 0x20AC), 0u);  // not one byte
}

TEST(KeyCodes, CommandLetters) {
  EXPECT_EQ(CommandLetterForCode(12), 'l');
  EXPECT_EQ(CommandLetterForCode(26), 'z');
  EXPECT_EQ(CommandLetterForCode(188), '>');
  EXPECT_EQ(CommandLetterForCode(190), '<');
  EXPECT_EQ(CommandLetterForCode(192), '~');
  EXPECT_EQ(CommandLetterForCode(2), 0);
  EXPECT_EQ(CommandLetterForCode('l'), 0);
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

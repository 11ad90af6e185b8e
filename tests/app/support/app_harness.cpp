#include "app/support/app_harness.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <cstdlib>

#include "gui_support/qt_environment.h"
#include "platform/message_queue.h"
#include "support/test_files.h"

namespace vantoril::testing {

namespace fs = std::filesystem;

fs::path ExamplesFolder() {
  // Not from __FILE__: a compiler cache may make it relative to the build
  // folder, and the tests run from another one.
  return fs::path(VANTORIL_SOURCE_DIR) / "examples";
}

fs::path FreshTestFolder(const std::string& name) {
  return test::FreshFolder("app/" + name);
}

void Pump() {
  Message message;
  while (PeekMessage(message)) {
    if (message.message == kWmQuit) continue;
    TranslateMessage(message);
    DispatchMessage(message);
  }
}

void PressKey(WindowHandle window, int code, uint32_t character) {
  EnqueueMessage(Message{window, kWmKeyDown, static_cast<uintptr_t>(code), 1, character});
  Pump();
}

void TypeCharacter(WindowHandle window, uint32_t character) {
  PostMessage(window, kWmChar, character, 1);
  Pump();
}

void Click(WindowHandle window, uint32_t message, uintptr_t buttons, int x, int y) {
  PostMessage(window, message, buttons, MakeLParam(x, y));
  Pump();
}

void AnswerFileDialog(const std::string& path, std::function<void()> then) {
  WhenModal([path, then](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    if (path.empty()) {
      static_cast<QDialog*>(dialog)->reject();
    } else {
      // A file shown at first stays selected unless another one is chosen.
      dialog->selectFile(QString::fromStdString(path));
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
          ->setText(QString::fromStdString(path));
      static_cast<QDialog*>(dialog)->accept();
    }
    if (then) then();
  });
}

void AnswerMessageBox(std::string* text, std::string_view button) {
  const std::string wanted(button);
  WhenModal([text, wanted](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    if (text) *text = box->text().toStdString();
    if (!wanted.empty()) {
      for (QAbstractButton* b : box->buttons()) {
        if (b->text().toStdString() == wanted) {
          b->click();
          return;
        }
      }
    }
    box->accept();
  });
}

FakeTimeline::FakeTimeline() {
  window.Create(nullptr, kStylePopup);
}

void FakeTimeline::Repaint() {
  ++repaints;
  if (document) document->currentKey = KeyAtCurrentTime(*document);
  if (main) main->UpdateEditMenu();
}

bool FakeTimeline::TakePlaybackClick(const Message& message) {
  if (message.window != window.Handle() || message.message != kWmLButtonUp) return false;
  if (main && main->GetStage()) main->GetStage()->MovePlaybackTo(TimeAtX(MouseX(message.lParam)));
  return true;
}

AppHarness::AppHarness(SoundTrackPlayer* sound) {
  ClearMessageQueue();
  document = std::make_unique<ShowDocument>(settings);
  document->SetPictureLoader(&loader);
  document->EnterStandaloneMode();
  window = std::make_unique<MainWindow>(*document, settings, sound);
  timeline.document = document.get();
  timeline.main = window.get();
  window->Timeline().Plug(&timeline);
  EXPECT_TRUE(window->Create());
  Pump();
}

AppHarness::~AppHarness() {
  ClearMessageQueue();
  window->DestroyWindow();
  window.reset();
}

void AppHarness::LoadPicture(const std::string& name) {
  AnswerFileDialog((ExamplesFolder() / "pictures" / name).string());
  window->RunCommand(cmd::kLoadPicture);
}

const KeyFrame* AppHarness::KeyAt(int picture, int32_t t) const {
  for (const KeyFrame& key : document->PictureAt(picture).Keys()) {
    if (key.time == t) return &key;
  }
  return nullptr;
}

}  // namespace vantoril::testing

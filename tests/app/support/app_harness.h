#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/stage.h"
#include "app/timeline_link.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "media/image_file_loader.h"
#include "platform/message_boxes.h"
#include "platform/window.h"

namespace vantoril::testing {

std::filesystem::path ExamplesFolder();
std::filesystem::path FreshTestFolder(const std::string& name);

// Takes every queued message and dispatches it as the main loop does.
void Pump();
// A key press as the platform queues it: the key-down carries the
// character its translation queues next (0 for none).
void PressKey(WindowHandle window, int code, uint32_t character);
void TypeCharacter(WindowHandle window, uint32_t character);
void Click(WindowHandle window, uint32_t message, uintptr_t buttons, int x, int y);

// Answers the next file dialog with `path` (accepted), or cancels it when
// the path is empty. `then` runs once the dialog is answered (to answer a
// box that follows).
void AnswerFileDialog(const std::string& path, std::function<void()> then = {});
// Answers the next message box: records its text and clicks the button with
// the given text ("OK", "&Yes", ...) or accepts it.
void AnswerMessageBox(std::string* text, std::string_view button = {});

// A Timeline stand-in that records what the main window asks of it.
class FakeTimeline : public TimelineLink {
 public:
  FakeTimeline();
  Window& TimelineWindow() override { return window; }
  // Marks the current key as the Timeline does while it draws.
  void Repaint() override;
  void EnsureTimeVisible() override { ++ensures; }
  int TimeScale() const override { return 30; }
  void Enlarge() override { ++enlarges; }
  void Contract() override { ++contracts; }
  int ViewMode() const override { return viewMode; }
  void SetViewMode(int mode) override { viewMode = mode; }
  void Relayout() override { ++relayouts; }
  int Left() const override { return 200; }
  int Top() const override { return 500; }
  int32_t TimeAtX(int x) const override { return x; }
  bool TakePlaybackClick(const Message& message) override;

  Window window;
  ShowDocument* document = nullptr;
  MainWindow* main = nullptr;
  int repaints = 0, ensures = 0, enlarges = 0, contracts = 0, relayouts = 0, viewMode = 1;
};

// The program's main window over a fresh show, with the real picture
// loader and a recording Timeline.
class AppHarness {
 public:
  explicit AppHarness(SoundTrackPlayer* sound = nullptr);
  ~AppHarness();

  MainWindow& Main() { return *window; }
  Stage& GetStage() { return *window->GetStage(); }
  ShowDocument& Doc() { return *document; }
  // Loads examples/pictures/<name> through the File menu.
  void LoadPicture(const std::string& name);
  KeyFrame& State(int picture) { return GetStage().States()[picture]; }
  // The key frame of the picture at time t, or null.
  const KeyFrame* KeyAt(int picture, int32_t t) const;

  SettingsStore settings{"VantorilAppTest"};
  MessageBoxSink sink;
  ImageFileLoader loader{sink};
  std::unique_ptr<ShowDocument> document;
  FakeTimeline timeline;
  std::unique_ptr<MainWindow> window;
};

}  // namespace vantoril::testing

#include "app/main_window_timeline_owner.h"

#include "app/main_window.h"
#include "app/stage.h"
#include "engine/show_document.h"
#include "platform/message_queue.h"

namespace vantoril {

void MainWindowTimelineOwner::UpdateEditMenu() {
  main_.UpdateEditMenu();
}

void MainWindowTimelineOwner::UpdatePictureMenu() {
  main_.UpdatePictureMenu(main_.Document().selectedPicture);
}

void MainWindowTimelineOwner::PassKeyToMainWindow(uint32_t message, uintptr_t wParam, intptr_t) {
  main_.HandleKey(message, static_cast<int>(wParam));
}

void MainWindowTimelineOwner::RequestClose() {
  // The same request as Exit: the message loop asks the save question before
  // it lets the close through.
  PostMessage(main_.Handle(), kWmClose, 0, 0);
}

Window* MainWindowTimelineOwner::StageWindow() {
  return main_.GetStage();
}

void MainWindowTimelineOwner::RepaintStage() {
  main_.RepaintStage();
}

void MainWindowTimelineOwner::DrawStage(bool overlays) {
  if (Stage* stage = main_.GetStage()) stage->DrawStage(overlays);
}

void MainWindowTimelineOwner::DrawTimecodeAndLevel(int frame, int level) {
  if (Stage* stage = main_.GetStage()) stage->DrawTimecodeAndLevel(frame, level);
}

void MainWindowTimelineOwner::DrawStatusPanel() {
  Stage* stage = main_.GetStage();
  const int p = main_.Document().EditablePicture();
  main_.DrawStatusPanel(stage != nullptr && p >= 0 ? stage->States()[p] : KeyFrame{});
}

void MainWindowTimelineOwner::MovePlaybackTo(int frame) {
  if (Stage* stage = main_.GetStage()) stage->MovePlaybackTo(frame);
}

}  // namespace vantoril

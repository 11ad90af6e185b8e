#include "app/load_notices.h"

#include "engine/picture_problem.h"
#include "engine/show_document.h"
#include "platform/message_boxes.h"

namespace vantoril {

void TellUnreadablePictures(ShowDocument& document) {
  const std::vector<UnreadablePicture> pictures = document.TakeUnreadablePictures();
  if (pictures.empty()) return;
  // With "Show Pic Errors" off a placeholder stands in for each; with it on
  // nothing was loaded in their place.
  ShowErrorBox(UnreadablePicturesMessage(pictures, document.showPictureErrors == 0),
               MessageSink::kNoCode);
}

std::string DamagedShowNotice(std::string_view damage) {
  return std::string(damage) +
         ".\nWhat could be read is loaded, without the file's name: saving asks where to.";
}

}  // namespace vantoril

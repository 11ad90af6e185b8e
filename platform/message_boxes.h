#pragma once

#include <string>
#include <string_view>

#include "engine/message_sink.h"

namespace vantoril {

// The text of the standard error box: the text, then "  [ code ]" unless
// the code is MessageSink::kNoCode.
std::string ErrorBoxText(std::string_view text, long code);

// Modal, top-most, owned by no window, with an empty caption.
void ShowErrorBox(std::string_view text, long code);
// Yes 1, No 0, Cancel (or Escape) -1.
int AskYesNoCancel(std::string_view text, std::string_view caption);
// Yes true; No and Escape false.
bool AskYesNo(std::string_view text, std::string_view caption);
// The same, with No as the default button: for a question whose Yes goes on
// with something the user may not want.
bool AskYesNoDefaultNo(std::string_view text, std::string_view caption);
// An OK box with an empty caption (the About box).
void ShowInformationBox(std::string_view text);

// The width a window needs for the desktop's title bar to show `title`
// whole: the title in a bold face of the interface's size, and room for the
// bar's icon and buttons. The questions and the text prompt are at least
// this wide.
int TitleBarWidth(std::string_view title);

// The program's messages as error boxes.
class MessageBoxSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, long code) override { ShowErrorBox(text, code); }
  void ShowInformation(std::string_view text) override { ShowInformationBox(text); }
};

// A small modal dialog: the title, two centred lines and a one-line edit
// holding `text` (at most 79 characters). OK and Enter give true with the
// edited text in `text`; Escape or closing the dialog give false and leave
// `text` as it was.
bool PromptForText(std::string& text, std::string_view title, std::string_view firstLine,
                   std::string_view secondLine);

}  // namespace vantoril

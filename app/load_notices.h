#pragma once

#include <string>
#include <string_view>

namespace vantoril {

class ShowDocument;

// After a command that read picture files (Load Show, Load Picture, Change
// Picture, the Advanced Options' reload): one message naming every picture
// that could not be read, with the reason. Nothing when all were read.
void TellUnreadablePictures(ShowDocument& document);

// What the user is told about a damaged show: what is wrong with the file,
// then what became of the show.
std::string DamagedShowNotice(std::string_view damage);

}  // namespace vantoril

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "output/codec_table.h"

namespace vantoril {

class MainWindow;
class SettingsStore;
class ShowDocument;
class Stage;
class Window;

// The file dialog's filter and default extension for a "MovieType" value
// (0 AVI, 1 QuickTime, 2 DPS, 3 RTV): the last type made comes first.
struct MovieFileChoice {
  std::string_view filter;
  std::string_view extension;
};
MovieFileChoice MovieFileFilter(int movieType);

// Why a Width or Height text cannot make a movie ("" when it can): a text
// that is not a number, or a size of 0 or less.
std::string MovieSizeProblem(std::string_view width, std::string_view height);

// The program's compression dialog: one choice per codec of the container
// that this system can encode, the stored "CodecType" chosen at first, and
// the quality. False when cancelled; otherwise the chosen four characters
// are stored as "CodecType".
bool ChooseMovieCompression(Window& host, SettingsStore& settings, MovieContainer container,
                            int& quality, std::string& fourcc);

// "Make Movie File": the options dialog over the Stage, the output file, the
// compression (AVI and QuickTime), then the render with its progress panel;
// Esc stops a pass. True when a movie was made.
bool MakeMovieCommand(MainWindow& main, Stage& stage, ShowDocument& document,
                      SettingsStore& settings);

}  // namespace vantoril

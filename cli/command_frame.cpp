#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/png_file.h"
#include "engine/compositor.h"
#include "engine/show_inputs.h"
#include "media/load_image_file.h"
#include "output/make_movie_run.h"

namespace vantoril::cli {

namespace {

std::optional<int> SideOption(const Arguments& arguments, std::string_view option, int fallback) {
  const auto text = arguments.Value(option);
  if (!text) {
    return fallback;
  }
  const auto value = ParseWholeNumber(*text);
  if (!value || *value < 1 || *value > ImageBuffer::kMaxSide) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

int RunFrame(const std::vector<std::string_view>& words) {
  std::vector<std::string_view> known = kCommonOptions;
  known.insert(known.end(), {"--width", "--height", "--field-mode"});
  const auto arguments = Arguments::Parse(words, known, CommonFlagsAnd({}));
  if (!arguments) {
    return kExitUsage;
  }
  if (arguments->Positional().size() != 3) {
    return UsageError("frame takes a show file, a frame number and an output PNG file");
  }
  const auto frame = ParseWholeNumber(arguments->Positional()[1]);
  if (!frame || *frame < 0) {
    return UsageError("the frame must be a whole number from 0");
  }
  FieldMode fieldMode = FieldMode::kFullFrame;
  if (const auto text = arguments->Value("--field-mode")) {
    const auto value = ParseWholeNumber(*text);
    if (!value || *value < 0 || *value > 3) {
      return UsageError("--field-mode takes 0, 1, 2 or 3");
    }
    fieldMode = static_cast<FieldMode>(*value);
  }
  const auto session = CliSession::Create(*arguments);
  if (!session) {
    return kExitUsage;
  }
  ShowDocument& document = session->Document();
  const auto width = SideOption(*arguments, "--width", document.stageFrame.Width());
  const auto height = SideOption(*arguments, "--height", document.stageFrame.Height());
  if (!width || !height) {
    return UsageError("--width and --height take 1 to 8192 pixels");
  }
  if (!session->LoadShow(arguments->Positional()[0])) {
    return kExitRefused;
  }
  // A single field is painted into a buffer of half the frame's height.
  const bool singleField =
      fieldMode == FieldMode::kFirstField || fieldMode == FieldMode::kSecondField;
  ImageBuffer output;
  if (!output.Create(*width, singleField ? std::max(*height / 2, 1) : *height, 32)) {
    session->Host().ShowMessage("Not Enough Memory to Make Movie", MessageSink::kNoCode);
    return kExitRefused;
  }
  const std::string_view outputPath = arguments->Positional()[2];
  if (const std::string input = ShowInputAt(document, outputPath); !input.empty()) {
    std::cerr << "vantoril-cli: " << outputPath << " is " << input
              << ": a frame is never written over what the show reads\n";
    return kExitRefused;
  }
  const ClipDamageWatch clipDamage(document);
  document.GoToTime(*frame, false);
  ComposeFrame(document, *frame, fieldMode, 1, output);
  if (const std::string failure = WriteRgbPng(output, outputPath); !failure.empty()) {
    session->Host().ShowMessage("Can't write PNG file", MessageSink::kNoCode);
    std::cerr << "vantoril-cli: " << failure << '\n';
    return kExitRefused;
  }
  if (const std::string damage = clipDamage.Message(); !damage.empty()) {
    session->Host().ShowMessage(damage, MessageSink::kNoCode);
  }
  return kExitOk;
}

int RunDecode(const std::vector<std::string_view>& words) {
  const auto arguments = Arguments::Parse(words, {}, {});
  if (!arguments) {
    return kExitUsage;
  }
  if (arguments->Positional().size() != 2) {
    return UsageError("decode takes a picture file and an output PNG file");
  }
  StderrHost host;
  FileSpec file;
  if (!file.SetPath(arguments->Positional()[0])) {
    host.ShowMessage("The file's path is longer than 255 characters", MessageSink::kNoCode);
    return kExitRefused;
  }
  ImageBuffer image(16, 16, 8);
  if (LoadImageFile(image, file, FileSpec{}, true, host) != kImageLoaded) {
    return kExitRefused;
  }
  std::error_code error;
  if (std::filesystem::equivalent(arguments->Positional()[0], arguments->Positional()[1], error)) {
    std::cerr << "vantoril-cli: a picture is never written over the file it was read from\n";
    return kExitRefused;
  }
  if (const std::string failure = WriteRgbaPng(image, arguments->Positional()[1]);
      !failure.empty()) {
    host.ShowMessage("Can't write PNG file", MessageSink::kNoCode);
    std::cerr << "vantoril-cli: " << failure << '\n';
    return kExitRefused;
  }
  return kExitOk;
}

}  // namespace vantoril::cli

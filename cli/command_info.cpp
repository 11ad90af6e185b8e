#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_writer.h"

namespace vantoril::cli {

namespace {

void WriteKey(JsonWriter& json, const KeyFrame& key, bool withTime) {
  json.BeginObjectInArray();
  if (withTime) {
    json.Int("time", key.time);
  }
  json.Float("x", key.x);
  json.Float("y", key.y);
  json.Float("width", key.width);
  json.Float("height", key.height);
  json.Float("rotation", key.rotation);
  json.Float("level", key.level);
  json.Float("easeCode", key.easeCode);
  json.EndObject();
}

}  // namespace

int RunInfo(const std::vector<std::string_view>& words) {
  const auto arguments = Arguments::Parse(words, kCommonOptions, CommonFlagsAnd({}));
  if (!arguments) {
    return kExitUsage;
  }
  if (arguments->Positional().size() != 1) {
    return UsageError("info takes one show file");
  }
  const auto session = CliSession::Create(*arguments);
  if (!session) {
    return kExitUsage;
  }
  if (!session->LoadShow(arguments->Positional()[0])) {
    return kExitRefused;
  }
  const ShowDocument& document = session->Document();
  JsonWriter json;
  json.BeginObject();
  json.Int("showId", document.showId);
  json.Int("videoColors", document.videoColors ? 1 : 0);
  json.Int("alphaBlur", document.alphaBlur ? 1 : 0);
  json.String("background", document.backgroundFile.Path());
  json.String("sound", document.soundFile.Path());
  json.BeginArray("pictures");
  for (int slot = 0; slot < document.pictureCount; ++slot) {
    const Picture& picture = document.PictureAt(slot);
    json.BeginObjectInArray();
    json.String("file", picture.file.Path());
    json.Int("brush", picture.brush);
    json.Int("tint", picture.tint);
    json.Int("locked", picture.locked ? 1 : 0);
    json.Int("imageWidth", picture.image.Width());
    json.Int("imageHeight", picture.image.Height());
    json.BeginArray("keys");
    for (const KeyFrame& key : picture.Keys()) {
      WriteKey(json, key, true);
    }
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  std::cout << json.Text() << '\n';
  return kExitOk;
}

int RunEval(const std::vector<std::string_view>& words) {
  const auto arguments =
      Arguments::Parse(words, kCommonOptions, CommonFlagsAnd({"--second-field"}));
  if (!arguments) {
    return kExitUsage;
  }
  if (arguments->Positional().size() != 2) {
    return UsageError("eval takes a show file and a frame number");
  }
  const auto frame = ParseWholeNumber(arguments->Positional()[1]);
  if (!frame) {
    return UsageError("the frame must be a whole number");
  }
  const auto session = CliSession::Create(*arguments);
  if (!session) {
    return kExitUsage;
  }
  if (!session->LoadShow(arguments->Positional()[0])) {
    return kExitRefused;
  }
  const ShowDocument& document = session->Document();
  const bool secondField = arguments->Has("--second-field");
  JsonWriter json;
  json.BeginObject();
  json.Int("frame", *frame);
  json.BeginArray("pictures");
  for (int slot = 0; slot < document.pictureCount; ++slot) {
    WriteKey(json, document.EvaluatePicture(slot, *frame, secondField), false);
  }
  json.EndArray();
  json.EndObject();
  std::cout << json.Text() << '\n';
  return kExitOk;
}

}  // namespace vantoril::cli

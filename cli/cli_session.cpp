#include "cli/cli_session.h"

#include <algorithm>
#include <charconv>
#include <iostream>

#include "engine/show_file.h"

namespace vantoril::cli {

void StderrHost::ShowMessage(std::string_view text, long code) {
  std::string line(text);
  while (!line.empty() && line.back() == '\n') {
    line.pop_back();
  }
  if (code != MessageSink::kNoCode) {
    line += "  [ " + std::to_string(code) + " ]";
  }
  std::cerr << line << '\n';
}

std::optional<Arguments> Arguments::Parse(const std::vector<std::string_view>& words,
                                          const std::vector<std::string_view>& known,
                                          const std::vector<std::string_view>& flags) {
  Arguments parsed;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string_view word = words[i];
    if (word.size() < 3 || word.substr(0, 2) != "--") {
      parsed.positional_.emplace_back(word);
      continue;
    }
    const bool isFlag = std::find(flags.begin(), flags.end(), word) != flags.end();
    if (!isFlag && std::find(known.begin(), known.end(), word) == known.end()) {
      std::cerr << "vantoril-cli: unknown option " << word << '\n';
      return std::nullopt;
    }
    if (isFlag) {
      parsed.options_.emplace_back(word, "");
      continue;
    }
    if (i + 1 >= words.size()) {
      std::cerr << "vantoril-cli: " << word << " needs a value\n";
      return std::nullopt;
    }
    parsed.options_.emplace_back(word, words[++i]);
  }
  return parsed;
}

bool Arguments::Has(std::string_view option) const {
  return std::any_of(options_.begin(), options_.end(),
                     [&](const auto& entry) { return entry.first == option; });
}

std::optional<std::string> Arguments::Value(std::string_view option) const {
  // The last one given counts.
  for (auto it = options_.rbegin(); it != options_.rend(); ++it) {
    if (it->first == option) {
      return it->second;
    }
  }
  return std::nullopt;
}

std::optional<int> ParseWholeNumber(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end) {
    return std::nullopt;
  }
  return value;
}

CliSession::CliSession() : loader_(host_), clip_(&host_) {}

std::unique_ptr<CliSession> CliSession::Create(const Arguments& arguments) {
  SettingsStore settings;
  settings.LoadSettings();
  if (const auto rate = arguments.Value("--frame-rate")) {
    const auto value = ParseWholeNumber(*rate);
    if (!value ||
        (*value != kFrameRateNtsc && *value != kFrameRatePal && *value != kFrameRateFilm)) {
      std::cerr << "vantoril-cli: --frame-rate takes 2997, 2500 or 2397\n";
      return nullptr;
    }
    settings.PutSettingInt("FrameRate", *value);
  }
  if (const auto aspect = arguments.Value("--aspect")) {
    const auto value = ParseWholeNumber(*aspect);
    if (!value || (*value != kAspectMode4x3 && *value != kAspectMode16x9)) {
      std::cerr << "vantoril-cli: --aspect takes 7500 or 5625\n";
      return nullptr;
    }
    settings.PutSettingInt("AspectMode", *value);
  }
  auto session = std::make_unique<CliSession>();
  session->strict_ = arguments.Has("--strict");
  session->document_ = std::make_unique<ShowDocument>(settings);
  ShowDocument& document = *session->document_;
  document.SetHost(&session->host_);
  document.SetPictureLoader(&session->loader_);
  document.SetBackgroundClip(&session->clip_);
  document.EnterStandaloneMode();
  return session;
}

std::vector<std::string_view> CommonFlagsAnd(std::vector<std::string_view> own) {
  own.push_back("--strict");
  return own;
}

bool CliSession::LoadShow(const std::filesystem::path& file) {
  std::string damage;
  std::error_code why;
  const ShowFileStatus status = LoadShowFile(*document_, file, false, &damage, &why);
  if (status != ShowFileStatus::kOk) {
    host_.ShowMessage(ShowFileProblem(status, file.string(), why), MessageSink::kNoCode);
    return false;
  }
  if (!damage.empty()) {
    std::cerr << "vantoril-cli: " << damage << '\n';
  }
  unreadable_ = document_->TakeUnreadablePictures();
  for (const UnreadablePicture& picture : unreadable_) {
    std::cerr << "vantoril-cli: cannot read picture " << DescribeUnreadablePicture(picture)
              << "; a placeholder stands in\n";
  }
  // A clip that did not open has said so; --strict refuses it as well.
  if (strict_ && (!damage.empty() || !unreadable_.empty() ||
                  document_->backgroundProblem != PictureProblem::kNone)) {
    std::cerr << "vantoril-cli: --strict: the show is not whole; nothing was done\n";
    return false;
  }
  return true;
}

}  // namespace vantoril::cli

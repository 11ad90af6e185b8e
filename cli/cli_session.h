#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/document_host.h"
#include "engine/settings_store.h"
#include "engine/show_document.h"
#include "media/clip_reader.h"
#include "media/image_file_loader.h"

namespace vantoril::cli {

// Exit statuses of vantoril-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitRefused = 2;
// A render or join stopped by a signal (Ctrl+C, a request to end) returns
// this plus the signal's number: once the movie is finished (or, for a join,
// nothing made) the program ends as the signal would have ended it (status
// 130 or 143 in the shell), so that a script stops too instead of going on
// with part of a movie.
inline constexpr int kExitBySignal = 128;

// The program's messages go to stderr, as the message box would show them.
class StderrHost final : public DocumentHost {
 public:
  void ShowMessage(std::string_view text, long code) override;

 private:
};

// The arguments of one command: positional words and --options.
class Arguments {
 public:
  // Options listed in `flags` take no value; every other --option takes one.
  // nullopt (with the reason on stderr) for an option not in `known`.
  static std::optional<Arguments> Parse(const std::vector<std::string_view>& words,
                                        const std::vector<std::string_view>& known,
                                        const std::vector<std::string_view>& flags);

  const std::vector<std::string>& Positional() const { return positional_; }
  bool Has(std::string_view option) const;
  std::optional<std::string> Value(std::string_view option) const;

 private:
  std::vector<std::string> positional_;
  std::vector<std::pair<std::string, std::string>> options_;
};

// A whole number, all of the text; nullopt otherwise.
std::optional<int> ParseWholeNumber(std::string_view text);

// The settings file (read, never written) with --frame-rate and --aspect
// laid over it, and a show document with the program's readers and clip
// reader. Messages go to stderr.
class CliSession {
 public:
  // Null (with the reason on stderr) for a bad --frame-rate or --aspect.
  static std::unique_ptr<CliSession> Create(const Arguments& arguments);

  ShowDocument& Document() { return *document_; }
  StderrHost& Host() { return host_; }
  ImageFileLoader& Loader() { return loader_; }

  // Loads a show file; false with the message on stderr. Each picture that
  // could not be read and a damaged show file are told on stderr, one line
  // each; with --strict either refuses the show (false).
  bool LoadShow(const std::filesystem::path& file);
  // The show's pictures that render as placeholders.
  const std::vector<UnreadablePicture>& UnreadablePictures() const { return unreadable_; }

  CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

 private:
  StderrHost host_;
  ImageFileLoader loader_;
  ClipReader clip_;
  std::unique_ptr<ShowDocument> document_;
  bool strict_ = false;
  std::vector<UnreadablePicture> unreadable_;
};

// The common options every show command accepts.
inline const std::vector<std::string_view> kCommonOptions = {"--frame-rate", "--aspect"};
// The common flags every show command accepts, followed by its own.
std::vector<std::string_view> CommonFlagsAnd(std::vector<std::string_view> own);

}  // namespace vantoril::cli

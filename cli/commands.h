#pragma once

#include <string_view>
#include <vector>

namespace vantoril::cli {

// Each command takes the words after its name and returns the exit status.
int RunInfo(const std::vector<std::string_view>& words);
int RunEval(const std::vector<std::string_view>& words);
int RunFrame(const std::vector<std::string_view>& words);
int RunDecode(const std::vector<std::string_view>& words);
int RunRender(const std::vector<std::string_view>& words);
int RunCodecs(const std::vector<std::string_view>& words);
int RunJoin(const std::vector<std::string_view>& words);

// Says what went wrong with the words and points at --help.
int UsageError(std::string_view what);

}  // namespace vantoril::cli

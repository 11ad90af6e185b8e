#pragma once

#include <filesystem>

namespace vantoril {

// The user's home folder: $HOME, else the password database's entry; empty
// when neither gives one.
std::filesystem::path HomeFolder();

}  // namespace vantoril

#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantoril::test {

// The folder the tests write into: $VANTORIL_TEST_TMP, or the system's
// temporary folder.
std::filesystem::path TestTmpRoot();
// TestTmpRoot()/name, emptied and created, so that a run never sees the files
// of the one before.
std::filesystem::path FreshFolder(const std::string& name);

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);
std::string ReadText(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

}  // namespace vantoril::test

// The main of every test program. CTest runs the cases of one program as
// parallel processes, so each process gets a scratch folder of its own below
// $VANTORIL_TEST_TMP; it is removed when every case passed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* base = std::getenv("VANTORIL_TEST_TMP");
  if (base == nullptr || *base == '\0') {
    return RUN_ALL_TESTS();
  }
  const std::filesystem::path folder =
      std::filesystem::path(base) / ("run-" + std::to_string(getpid()));
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  setenv("VANTORIL_TEST_TMP", folder.c_str(), 1);
  const int result = RUN_ALL_TESTS();
  if (result == 0) {
    std::filesystem::remove_all(folder, error);
  }
  return result;
}

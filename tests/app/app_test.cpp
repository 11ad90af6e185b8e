#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "app/app_init.h"
#include "app/message_loop.h"
#include "app/support/app_harness.h"
#include "gui_support/qt_environment.h"
#include "platform/app_window_list.h"
#include "platform/drawing.h"
#include "platform/message_queue.h"
#include "platform/window.h"
#include "support/test_files.h"

extern char** environ;

namespace vantoril {
namespace {

namespace fs = std::filesystem;

using testing::FreshTestFolder;

using test::ReadText;

class Recorder : public Window {
 public:
  int HandleMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
    if (message == kWmCommand) {
      commands.push_back(static_cast<int>(wParam));
      if (wParam == 99) PostQuitMessage(7);
    }
    return 1;
  }
  std::vector<int> commands;
};

TEST(MessageLoop, DispatchesOnlyToListedWindowsAndGivesTheQuitCode) {
  ClearMessageQueue();
  Recorder listed, unlisted;
  ASSERT_TRUE(listed.Create(nullptr, kStylePopup));
  ASSERT_TRUE(unlisted.Create(nullptr, kStylePopup));
  AppWindowList::Remove(unlisted.Handle());  // as a window beyond the 256th
  PostMessage(unlisted.Handle(), kWmCommand, 1, 0);
  PostMessage(0, kWmCommand, 2, 0);
  PostMessage(listed.Handle(), kWmCommand, 3, 0);
  PostMessage(listed.Handle(), kWmCommand, 99, 0);
  EXPECT_EQ(RunMessageLoop(true), 7);
  EXPECT_EQ(listed.commands, (std::vector<int>{3, 99}));
  EXPECT_TRUE(unlisted.commands.empty());

  // Without the filter the unlisted window gets its messages too.
  PostMessage(unlisted.Handle(), kWmCommand, 4, 0);
  PostMessage(listed.Handle(), kWmCommand, 99, 0);
  EXPECT_EQ(RunMessageLoop(false), 7);
  EXPECT_EQ(unlisted.commands, (std::vector<int>{4}));
}

TEST(AppStart, InitLoadsTheSettingsAndShutdownWritesThem) {
  const fs::path config = FreshTestFolder("init");
  const std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  std::ofstream(config / "Vantoril.ini", std::ios::binary) << "[Vantoril]\r\nFrameRate=2500\r\n";

  AppContext app;
  AppWindowList::Add(12345);
  AppInit(app, std::string(80, 'V'), 101);
  EXPECT_EQ(app.productName.size(), AppContext::kProductNameCapacity);
  EXPECT_EQ(AppWindowList::Count(), 0u);
  EXPECT_NE(GetInterfaceFont(InterfaceFont::k13Bold), kNoFont);

  AppContext vantoril;
  AppInit(vantoril, "Vantoril", 101);
  EXPECT_EQ(vantoril.settings.GetSettingInt("FrameRate", 2997), 2500);
  vantoril.settings.PutSettingInt("Scale", 75);
  AppShutdown(vantoril);
  EXPECT_EQ(ReadText(config / "Vantoril.ini"), "[Vantoril]\r\nFrameRate=2500\r\nScale=75\r\n");

  // Settings that cannot be written are told of, not lost without a word.
  std::ofstream(config / "a-file") << "not a folder";
  setenv("XDG_CONFIG_HOME", (config / "a-file").c_str(), 1);
  ::testing::internal::CaptureStderr();
  AppShutdown(vantoril);
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(told.rfind("vantoril: cannot save the settings to " +
                           (config / "a-file" / "Vantoril.ini").string() + ": ",
                       0),
            0u)
      << told;

  CreateInterfaceFonts("Sans");
  setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

// Starts the program offscreen with its own configuration folder (and
// SIGINT ignored, as for a script's background job, if asked), asks it to
// close the way the desktop does at logout (SIGTERM), and gives its exit
// status. `interruptCaught` receives whether the program took SIGINT.
int RunProgramAndClose(const fs::path& config, bool interruptIgnored = false,
                       bool* interruptCaught = nullptr) {
  std::vector<std::string> variables = {
      "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + config.string(),
      "XDG_STATE_HOME=" + (config / "state").string(),
      "XDG_RUNTIME_DIR=" + std::string(std::getenv("XDG_RUNTIME_DIR"))};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (text.rfind("XDG_", 0) != 0 && text.rfind("QT_QPA_PLATFORM=", 0) != 0) {
      variables.push_back(text);
    }
  }
  std::vector<char*> environment;
  for (std::string& text : variables) environment.push_back(text.data());
  environment.push_back(nullptr);
  std::string program = VANTORIL_PROGRAM;
  char* arguments[] = {program.data(), nullptr};
  pid_t pid = 0;
  struct sigaction before {};
  struct sigaction ignore {};
  ignore.sa_handler = interruptIgnored ? SIG_IGN : SIG_DFL;
  sigaction(SIGINT, &ignore, &before);
  const int spawned =
      posix_spawn(&pid, program.c_str(), nullptr, nullptr, arguments, environment.data());
  sigaction(SIGINT, &before, nullptr);
  if (spawned != 0) return -1;
  // Wait until the program handles SIGTERM (bit 15 - 1 of its caught set).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool ready = false;
  while (!ready && std::chrono::steady_clock::now() < deadline) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("SigCgt:", 0) == 0) {
        const uint64_t caught = std::stoull(line.substr(7), nullptr, 16);
        ready = (caught & (1ull << (SIGTERM - 1))) != 0;
        if (interruptCaught != nullptr) *interruptCaught = (caught & (1ull << (SIGINT - 1))) != 0;
      }
    }
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGTERM);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -2;
}

TEST(WholeProgram, WritesTheSectionLineAndKeepsTheSettingsItFound) {
  const fs::path config = FreshTestFolder("whole-program");
  ASSERT_EQ(RunProgramAndClose(config), 0);  // first run
  EXPECT_EQ(ReadText(config / "Vantoril.ini"), "[Vantoril]\r\n");

  const std::string text = "[Vantoril]\r\nFrameRate=2500\r\nAspectMode=5625\r\nScale=200\r\n";
  std::ofstream(config / "Vantoril.ini", std::ios::binary) << text;
  ASSERT_EQ(RunProgramAndClose(config), 0);
  EXPECT_EQ(ReadText(config / "Vantoril.ini"), text);

  // A file of another program is replaced by a fresh store.
  std::ofstream(config / "Vantoril.ini", std::ios::binary) << "[Other]\r\nKey=1\r\n";
  ASSERT_EQ(RunProgramAndClose(config), 0);
  EXPECT_EQ(ReadText(config / "Vantoril.ini"), "[Vantoril]\r\n");
}

// An answer that cannot be written (a full disk) is no success.
TEST(WholeProgram, AnswersThatCannotBeWrittenFail) {
  for (const char* option : {"--version", "--help"}) {
    const int status = std::system(
        ("'" VANTORIL_PROGRAM "' " + std::string(option) + " >/dev/full 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2) << option;
  }
}

// Ctrl+C closes the program as the desktop's logout does, unless SIGINT was
// ignored when it started (a shell script's background job).
TEST(WholeProgram, CtrlCIgnoredFromTheStartStaysIgnored) {
  const fs::path config = FreshTestFolder("whole-program-interrupt");
  for (const bool ignored : {false, true}) {
    bool caught = ignored;
    ASSERT_EQ(RunProgramAndClose(config, ignored, &caught), 0);
    EXPECT_EQ(caught, !ignored);
  }
}

}  // namespace
}  // namespace vantoril

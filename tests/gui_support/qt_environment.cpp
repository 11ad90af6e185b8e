// The toolkit for the GUI test programs: offscreen, with its own runtime and
// configuration folders, and the interface fonts made once.

#include "gui_support/qt_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/drawing.h"
#include "platform/platform_session.h"

namespace vantoril::testing {

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // CTest sets these too; a program started by hand gets the same.
    namespace fs = std::filesystem;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const char* tmp = std::getenv("VANTORIL_TEST_TMP");
    const fs::path base = tmp != nullptr ? fs::path(tmp) : fs::temp_directory_path();
    const auto runtime = base / "xdg-runtime", config = base / "xdg-config",
               state = base / "xdg-state";
    fs::create_directories(runtime);
    fs::create_directories(config);
    fs::create_directories(state);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
    setenv("XDG_CONFIG_HOME", config.c_str(), 0);
    setenv("XDG_STATE_HOME", state.c_str(), 0);
    session_ = std::make_unique<PlatformSession>(argc_, argv_);
    CreateInterfaceFonts("Sans");
  }
  void TearDown() override {
    DeleteInterfaceFonts();
    session_.reset();
  }

 private:
  int argc_ = 1;
  char name_[16] = "vantoril-tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<PlatformSession> session_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

void WhenFound(std::function<QWidget*()> find, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, find = std::move(find), act = std::move(act)] {
    if (QWidget* widget = find()) {
      timer->stop();
      timer->deleteLater();
      act(widget);
    }
  });
  timer->start();
}

void WhenModal(std::function<void(QWidget*)> act) {
  WhenFound(&QApplication::activeModalWidget, std::move(act));
}

void ProcessEvents() {
  QCoreApplication::processEvents();
}

}  // namespace vantoril::testing

#include "platform/platform_session.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <array>
#include <csignal>

#include "platform/message_queue.h"

namespace vantoril {

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: one byte to the loop.
  [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

constexpr std::array<int, 3> kTerminationSignals = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

struct PlatformSession::Impl {
  std::unique_ptr<QApplication> application;
  std::unique_ptr<QSocketNotifier> notifier;
  WindowHandle closeTarget = 0;
  // What each termination signal did before the session took it.
  std::array<struct sigaction, kTerminationSignals.size()> previous{};
};

PlatformSession::PlatformSession(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
  impl_->application = std::make_unique<QApplication>(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
}

PlatformSession::~PlatformSession() {
  if (impl_->notifier) {
    for (size_t i = 0; i < kTerminationSignals.size(); ++i) {
      sigaction(kTerminationSignals[i], &impl_->previous[i], nullptr);
    }
    impl_->notifier.reset();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
  }
  impl_->application.reset();
}

void PlatformSession::NameProgram(std::string_view name, std::string_view desktopFileName) {
  QCoreApplication::setApplicationName(
      QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  QGuiApplication::setDesktopFileName(
      QString::fromUtf8(desktopFileName.data(), static_cast<qsizetype>(desktopFileName.size())));
}

void PlatformSession::RouteTerminationTo(WindowHandle window) {
  impl_->closeTarget = window;
  if (impl_->notifier) {
    return;
  }
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
    return;
  }
  impl_->notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, [this] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
    PostMessage(impl_->closeTarget, kWmClose, 0, 0);
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kTerminationSignals.size(); ++i) {
    sigaction(kTerminationSignals[i], nullptr, &impl_->previous[i]);
    // A signal ignored from the start stays ignored: a shell script's
    // background job is not meant to close on the terminal's Ctrl+C, nor a
    // program started with nohup when the terminal goes.
    if (impl_->previous[i].sa_handler != SIG_IGN) {
      sigaction(kTerminationSignals[i], &action, nullptr);
    }
  }
}

}  // namespace vantoril

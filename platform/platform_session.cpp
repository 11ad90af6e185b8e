#include "platform/platform_session.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
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

}  // namespace

struct PlatformSession::Impl {
  std::unique_ptr<QApplication> application;
  std::unique_ptr<QSocketNotifier> notifier;
  WindowHandle closeTarget = 0;
};

PlatformSession::PlatformSession(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
  impl_->application = std::make_unique<QApplication>(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
}

PlatformSession::~PlatformSession() {
  if (impl_->notifier) {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    impl_->notifier.reset();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
  }
  impl_->application.reset();
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
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

}  // namespace vantoril

#include "gui/quit_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace qv::gui {
namespace {

int g_signal_pipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte down a socket.
extern "C" void PassOnSignal(int signal) {
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = write(g_signal_pipe[1], &byte, 1);
}

}  // namespace

void WatchQuitSignals(QObject* context, std::function<void(int)> on_signal) {
  if (g_signal_pipe[0] < 0 &&
      socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0)
    return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [on_signal] {
    unsigned char byte = 0;
    if (read(g_signal_pipe[0], &byte, 1) == 1) on_signal(byte);
  });
  struct sigaction action {};
  action.sa_handler = PassOnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
}

}  // namespace qv::gui

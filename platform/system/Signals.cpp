// SIGTERM, SIGINT and SIGHUP: the handler only notes the signal and wakes the queue through a
// pipe; the message loop closes the main window in order (MessageQueue).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/MessageLoop.h"
#include "detail/CrossProcess.h"

namespace platform {
namespace {

int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_signalSeen = 0;

void OnTerminationSignal(int) {
    int saved = errno;
    g_signalSeen = 1;
    if (g_signalPipe[1] >= 0) {
        char b = 1;
        [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &b, 1);
    }
    errno = saved;
}

}  // namespace

void InstallTerminationSignals() {
    static const bool installed = [] {
        if (::pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) g_signalPipe[0] = g_signalPipe[1] = -1;
        struct sigaction sa {};
        sa.sa_handler = OnTerminationSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &sa, nullptr);
        ::sigaction(SIGINT, &sa, nullptr);
        ::sigaction(SIGHUP, &sa, nullptr);
        return true;
    }();
    (void)installed;
}

namespace detail {

int TerminationSignalFd() { return g_signalPipe[0]; }

bool TakeTerminationSignal() {
    if (!g_signalSeen) return false;
    g_signalSeen = 0;
    char buf[64];
    while (g_signalPipe[0] >= 0 && ::read(g_signalPipe[0], buf, sizeof buf) > 0) {
    }
    return true;
}

}  // namespace detail

}  // namespace platform

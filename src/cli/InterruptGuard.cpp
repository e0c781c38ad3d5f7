#include "cli/InterruptGuard.h"

#include <unistd.h>

#include <cerrno>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

namespace {

volatile std::sig_atomic_t interruptCount = 0;

const char kWarning[] =
    "\nStopping now leaves the OrbiZo3 in its bootloader; a later update recovers it.\n"
    "Press Ctrl-C again to stop anyway.\n";

const char kHeldOffWarning[] =
    "\nStopping now leaves the OrbiZo3 in its bootloader; the update finishes first.\n";

// A warned-about signal must not break what is running: a read or a write that it interrupts
// (progress lines to a pipe or a slow terminal) resumes instead of failing with EINTR, which
// would leave the output stream failed for the rest of the update.
void install(int signal, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, previous);
}

}  // namespace

InterruptGuard::InterruptGuard() {
    interruptCount = 0;
    install(SIGINT, &InterruptGuard::onInterrupt, &previousInterrupt);
    install(SIGHUP, &InterruptGuard::onHangUpOrTerminate, &previousHangUp);
    install(SIGTERM, &InterruptGuard::onHangUpOrTerminate, &previousTerminate);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGTERM, &previousTerminate, nullptr);
    sigaction(SIGHUP, &previousHangUp, nullptr);
    sigaction(SIGINT, &previousInterrupt, nullptr);
}

// Runs in signal context. Standard error may be gone with the terminal; then the warning is
// simply lost.
void InterruptGuard::onHangUpOrTerminate(int) {
    const int savedErrno = errno;
    const ssize_t ignored = ::write(STDERR_FILENO, kHeldOffWarning, sizeof kHeldOffWarning - 1);
    (void)ignored;
    errno = savedErrno;
}

// Runs in signal context: only async-signal-safe calls.
void InterruptGuard::onInterrupt(int signal) {
    interruptCount = interruptCount + 1;
    if (interruptCount == 1) {
        const ssize_t ignored = ::write(STDERR_FILENO, kWarning, sizeof kWarning - 1);
        (void)ignored;
        return;
    }
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signal, &defaultAction, nullptr);
    ::raise(signal);
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

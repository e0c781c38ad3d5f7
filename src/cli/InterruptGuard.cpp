#include "cli/InterruptGuard.h"

#include <unistd.h>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

namespace {

volatile std::sig_atomic_t interruptCount = 0;

const char kWarning[] =
    "\nStopping now leaves the OrbiZo3 in its bootloader; a later update recovers it.\n"
    "Press Ctrl-C again to stop anyway.\n";

}  // namespace

InterruptGuard::InterruptGuard() {
    interruptCount = 0;
    struct sigaction action {};
    action.sa_handler = &InterruptGuard::onInterrupt;
    // A warned-about Ctrl-C must not break what is running: a read or a write that it
    // interrupts (progress lines to a pipe or a slow terminal) resumes instead of failing
    // with EINTR, which would leave the output stream failed for the rest of the update.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &previous, nullptr);
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

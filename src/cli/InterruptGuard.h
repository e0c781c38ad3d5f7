#pragma once

#include <csignal>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// Holds off Ctrl-C while the table is being programmed. The first SIGINT only warns on
// standard error that stopping now leaves the table in its bootloader; the second one
// interrupts the process as usual. SIGHUP and SIGTERM (a closed terminal, a service manager)
// are held off every time: programming finishes and the result is still reported. The
// previous handlers are back when the guard goes away. One guard at a time per process.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    static void onInterrupt(int signal);
    static void onHangUpOrTerminate(int signal);

    struct sigaction previousInterrupt {};
    struct sigaction previousHangUp {};
    struct sigaction previousTerminate {};
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

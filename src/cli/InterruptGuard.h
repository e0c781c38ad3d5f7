#pragma once

#include <csignal>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// Holds off Ctrl-C while the table is being programmed. The first SIGINT only warns on
// standard error that stopping now leaves the table in its bootloader; the second one
// interrupts the process as usual. The previous handler is back when the guard goes away.
// One guard at a time per process.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    static void onInterrupt(int signal);

    struct sigaction previous {};
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

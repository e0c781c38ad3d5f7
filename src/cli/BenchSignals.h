#pragma once

#include <csignal>
#include <vector>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// Catches SIGINT, SIGTERM and SIGHUP for a service bench's parent while it waits on its
// children: each signal that arrives is written into a pipe, which the bench's poll loop
// watches (fd()), and taken out there in order (take()). Nothing else happens in signal
// context. Interrupted reads and writes resume (SA_RESTART); poll returns early. The previous
// handlers are back when the object goes. One object at a time per process.
class BenchSignals {
public:
    BenchSignals();
    ~BenchSignals();
    BenchSignals(const BenchSignals&) = delete;
    BenchSignals& operator=(const BenchSignals&) = delete;

    // Becomes readable when a signal has arrived.
    int fd() const { return pipeEnds[0]; }
    // The signals that arrived since the last call, oldest first.
    std::vector<int> take();

private:
    static void onSignal(int signal);

    int pipeEnds[2] = {-1, -1};
    struct sigaction previousInterrupt {};
    struct sigaction previousTerminate {};
    struct sigaction previousHangUp {};
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

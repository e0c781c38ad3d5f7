#include "cli/BenchSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

namespace {

volatile std::sig_atomic_t writeEnd = -1;

void catchSignal(int signal, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, previous);
}

}  // namespace

BenchSignals::BenchSignals() {
    // Both ends close on exec: the children must not hold the pipe.
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) pipeEnds[0] = pipeEnds[1] = -1;
    writeEnd = pipeEnds[1];
    catchSignal(SIGINT, &BenchSignals::onSignal, &previousInterrupt);
    catchSignal(SIGTERM, &BenchSignals::onSignal, &previousTerminate);
    catchSignal(SIGHUP, &BenchSignals::onSignal, &previousHangUp);
}

BenchSignals::~BenchSignals() {
    sigaction(SIGHUP, &previousHangUp, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
    sigaction(SIGINT, &previousInterrupt, nullptr);
    writeEnd = -1;
    for (int end : pipeEnds) {
        if (end >= 0) ::close(end);
    }
}

std::vector<int> BenchSignals::take() {
    std::vector<int> caught;  // not "signals": Qt defines that as a macro
    unsigned char number = 0;
    while (pipeEnds[0] >= 0 && ::read(pipeEnds[0], &number, 1) == 1) caught.push_back(number);
    return caught;
}

// Signal context: one write into a non-blocking pipe. A full pipe (hundreds of signals not yet
// taken) drops the signal; two are all the bench needs.
void BenchSignals::onSignal(int signal) {
    const int savedErrno = errno;
    if (writeEnd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        const ssize_t ignored = ::write(writeEnd, &number, 1);
        (void)ignored;
    }
    errno = savedErrno;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

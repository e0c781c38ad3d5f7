#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

#include "cli/InterruptGuard.h"

using Korvane::DeviceDriver::OrbiZo::Cli::InterruptGuard;

namespace {

// What /proc says about one thread of this process: its status field `name` ("SigPnd"), or
// the number of the system call it is blocked in (-1: running, or not known).
std::string statusField(pid_t tid, const std::string& name) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, name.size() + 1, name + ":") == 0) return line.substr(name.size() + 1);
    }
    return std::string();
}

long blockedSyscall(pid_t tid) {
    std::ifstream syscall("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    return syscall >> number ? number : -1;
}

bool sigintPending(pid_t tid) {
    const unsigned long mask = std::stoul(statusField(tid, "SigPnd"), nullptr, 16);
    return (mask & (1ul << (SIGINT - 1))) != 0;
}

template <typename Condition>
void waitUntil(Condition condition) {
    while (!condition()) std::this_thread::yield();
}

// A first Ctrl-C only warns: a blocking call it lands in carries on instead of failing with
// EINTR (a failed write to standard output would silence the rest of the update's output).
// The helper waits on the reader's state in /proc, not on the clock: blocked in read(), then
// the interrupt taken and read() entered again.
TEST(InterruptGuard, FirstInterruptLeavesABlockedCallRunning) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const InterruptGuard guard;
    const pthread_t reader = ::pthread_self();
    const pid_t readerId = static_cast<pid_t>(::syscall(SYS_gettid));
    std::thread helper([&] {
        waitUntil([&] { return blockedSyscall(readerId) == SYS_read; });
        ::pthread_kill(reader, SIGINT);
        waitUntil([&] { return !sigintPending(readerId) && blockedSyscall(readerId) == SYS_read; });
        const char byte = 'x';
        EXPECT_EQ(::write(fds[1], &byte, 1), 1);
    });
    char byte = 0;
    const ssize_t n = ::read(fds[0], &byte, 1);
    const int error = errno;
    helper.join();
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(n, 1) << "read failed with errno " << error;
    EXPECT_EQ(byte, 'x');
}

}  // namespace

#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "cli/InterruptGuard.h"

using Korvane::DeviceDriver::OrbiZo::Cli::InterruptGuard;

namespace {

// A first Ctrl-C only warns: a blocking call it lands in carries on instead of failing with
// EINTR (a failed write to standard output would silence the rest of the update's output).
TEST(InterruptGuard, FirstInterruptLeavesABlockedCallRunning) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const InterruptGuard guard;
    const pthread_t reader = ::pthread_self();
    std::thread helper([&] {
        // Give the reader time to block in read(); the interrupt goes to that thread.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::pthread_kill(reader, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
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

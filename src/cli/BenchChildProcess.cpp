#include "cli/BenchChildProcess.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

namespace {

// At most this much of a child's standard error is kept (its last words matter).
constexpr int kErrorKept = 16384;

std::vector<std::string> narrow(const QStringList& texts) {
    std::vector<std::string> narrowed;
    for (const QString& text : texts) narrowed.push_back(text.toLocal8Bit().toStdString());
    return narrowed;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> list;
    for (std::string& s : strings) list.push_back(s.data());
    list.push_back(nullptr);
    return list;
}

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

BenchChildProcess::BenchChildProcess(const QString& program, const QStringList& arguments,
                                     const QStringList& environment, int input) {
    // Everything the child needs is made before fork: between fork and exec only
    // async-signal-safe calls (the parent may run other threads, the simulated bus's or
    // libusb's).
    std::vector<std::string> argumentText = narrow(QStringList{program} + arguments);
    std::vector<std::string> environmentText = narrow(environment);
    std::vector<char*> argv = pointers(argumentText);
    std::vector<char*> envp = pointers(environmentText);
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        startProblem = QString("Cannot start the table's process: %1").arg(std::strerror(errno));
        return;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        startProblem = QString("Cannot start the table's process: %1").arg(std::strerror(errno));
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died before the line above took effect.
        if (::getppid() != parent) ::_exit(127);
        ::dup2(input, STDIN_FILENO);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (pid < 0) {
        startProblem = QString("Cannot start the table's process: %1").arg(std::strerror(errno));
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return;
    }
    // Also here, so that a signal passed on at once finds the group.
    ::setpgid(pid, pid);
    childId = pid;
    output = outPipe[0];
    error = errPipe[0];
}

BenchChildProcess::~BenchChildProcess() {
    if (started() && !reaped) {
        ::kill(childId, SIGKILL);
        reap();
    }
    closeIfOpen(output);
    closeIfOpen(error);
}

QList<QByteArray> BenchChildProcess::readOutputLines() {
    QList<QByteArray> lines;
    if (output < 0) return lines;
    char buffer[4096];
    const ssize_t n = ::read(output, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return lines;
    if (n <= 0) {
        closeIfOpen(output);
        if (!pending.isEmpty()) lines << pending;
        pending.clear();
        return lines;
    }
    pending.append(buffer, static_cast<int>(n));
    for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
        lines << pending.left(end);
        pending.remove(0, end + 1);
    }
    return lines;
}

void BenchChildProcess::readError() {
    if (error < 0) return;
    char buffer[4096];
    const ssize_t n = ::read(error, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) {
        closeIfOpen(error);
        return;
    }
    errorBytes.append(buffer, static_cast<int>(n));
    if (errorBytes.size() > kErrorKept) errorBytes.remove(0, errorBytes.size() - kErrorKept);
}

void BenchChildProcess::signal(int signal) const {
    if (started() && !reaped) ::kill(childId, signal);
}

int BenchChildProcess::reap() {
    int status = 0;
    while (::waitpid(childId, &status, 0) < 0 && errno == EINTR) {
    }
    reaped = true;
    return status;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

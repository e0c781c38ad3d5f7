#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// One child process of a service bench: started in its own process group (the terminal's
// Ctrl-C reaches only the parent, which passes it on), killed by the kernel when the thread
// that started it ends (PR_SET_PDEATHSIG with SIGKILL: no child outlives the bench, even when
// the parent is killed), with standard input from a given descriptor and standard output and
// standard error on pipes that the parent polls. Used from the thread that made it (the bench's
// main thread, which lives as long as the process).
class BenchChildProcess {
public:
    // Starts `program` with `arguments` and exactly `environment` ("NAME=value" entries);
    // `input` becomes the child's standard input (the caller keeps and closes its own copy).
    // When the process cannot be made, started() is false and problem() says why.
    BenchChildProcess(const QString& program, const QStringList& arguments,
                      const QStringList& environment, int input);
    // A child still running is killed (SIGKILL) and reaped.
    ~BenchChildProcess();
    BenchChildProcess(const BenchChildProcess&) = delete;
    BenchChildProcess& operator=(const BenchChildProcess&) = delete;

    bool started() const { return childId > 0; }
    QString problem() const { return startProblem; }
    pid_t pid() const { return childId; }
    // Started and not yet reaped.
    bool running() const { return started() && !reaped; }

    // The pipes' read ends; -1 once the child closed its end and all was read.
    int outputFd() const { return output; }
    int errorFd() const { return error; }
    bool pipesOpen() const { return output >= 0 || error >= 0; }

    // Reads what standard output holds now (call when outputFd() is readable) and returns
    // the complete lines, without their line ends; a last line without its end comes when the
    // pipe closes.
    QList<QByteArray> readOutputLines();
    // Reads what standard error holds now into errorText().
    void readError();
    QString errorText() const { return QString::fromLocal8Bit(errorBytes); }

    // Sends `signal` to the child when it has not been reaped.
    void signal(int signal) const;
    // Waits for the child's end (call once both pipes are closed); returns its wait status.
    int reap();

private:
    pid_t childId = -1;
    int output = -1;
    int error = -1;
    bool reaped = false;
    QByteArray pending;
    QByteArray errorBytes;
    QString startProblem;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

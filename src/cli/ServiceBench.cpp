#include "cli/ServiceBench.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

#include "cli/BenchChild.h"
#include "cli/BenchProgress.h"
#include "cli/BenchSignals.h"
#include "cli/BenchSummary.h"
#include "cli/BenchTables.h"
#include "cli/DeviceSelection.h"
#include "cli/ExitCode.h"
#include "cli/JsonOutput.h"
#include "cli/UpdateCommand.h"
#include "cli/UserMessage.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/UserFailure.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::OrbiZo3FWUpdater;
using History::HistoryRecord;
using Korvane::Utilities::RunSettings;

namespace {

const char kFirstStep[] =
    "Stopping now leaves the tables being worked on in their bootloader; a later update "
    "recovers them.\nPress Ctrl-C again to stop the bench anyway.";
const char kSecondStep[] = "Stopping the bench.";

// Redraws of the terminal's block while nothing is reported (times left move on).
constexpr int kTerminalTickMs = 1000;

// A memory file holding the firmware's bytes, from which each child reads its own copy; -1
// when it cannot be made.
int firmwareFile(const QByteArray& content) {
    const int fd = ::memfd_create("orbizo3-firmware", MFD_CLOEXEC);
    if (fd < 0) return -1;
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + written,
                                  static_cast<std::size_t>(content.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        written += n;
    }
    return fd;
}

// A descriptor of its own (offset 0) on the memory file, for one child's standard input.
int readerOf(int memoryFile) {
    return ::open(("/proc/self/fd/" + std::to_string(memoryFile)).c_str(), O_RDONLY | O_CLOEXEC);
}

}  // namespace

void ServiceBench::configure(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        kAllOption, "Service bench: every table connected (or each --device), one process each."));
}

bool ServiceBench::requested(const QCommandLineParser& parser) {
    return parser.isSet(kAllOption) || parser.values("device").size() > 1;
}

ServiceBench::ServiceBench(HistoryRecord::Kind kind, std::function<bool(std::ostream&)> confirm,
                           const QString& program)
    : kind(kind), confirm(std::move(confirm)), program(program) {}

ServiceBench::~ServiceBench() = default;

int ServiceBench::run(const QCommandLineParser& parser, const RunSettings& settings,
                      const QStringList& arguments, std::ostream& out, std::ostream& err) {
    start = BenchTable::Clock::now();
    const bool update = kind == HistoryRecord::Kind::Update;
    const QString command = update ? "update" : "verify";
    const bool json = JsonOutput::requested(parser);
    if (json && !parser.isSet("yes")) return JsonOutput::refuseWithoutYes(command, out);
    const QString title =
        update ? UserMessage::updateFailureTitle() : UserMessage::verifyFailureTitle();
    const auto refuse = [&](const UserFailure& failure) {
        if (json) {
            JsonOutput::write(out, JsonOutput::error(failure, title));
        } else {
            UserMessage::print(err, failure, title);
        }
        return Failed;
    };

    // Read and checked once, before any table is looked for: a refused file touches nothing.
    const QString file =
        arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).absoluteFilePath();
    QByteArray content;
    try {
        content = OrbiZo3FWUpdater::readAndCheckFirmwareFile(
            file.isEmpty() ? QString(UpdateCommand::kEmbeddedFirmware) : file);
    } catch (...) {
        return refuse(UserFailure::fromCurrentException());
    }

    const DeviceSelection selection(parser, settings);
    if (!JsonOutput::usable(selection, json, out, err)) return Failed;
    const BenchTables found(selection, parser.values("device"));
    if (!found.problem.isEmpty()) {
        if (json) {
            JsonOutput::write(out, JsonOutput::error(0, found.problem + '.', QString()));
        } else {
            err << found.problem.toStdString() << "." << std::endl;
        }
        return Failed;
    }
    tables = found.tables;
    if (!json) {
        out << "Tables:"
            << "\n";
        for (const BenchTable& table : tables)
            out << "  " << table.serialNumber.toStdString() << "  "
                << table.devicePath.toStdString() << "\n";
    }
    if (!selection.confirmed() && !confirm(out)) {
        out << (update ? "Update cancelled." : "Verification cancelled.") << std::endl;
        return Failed;
    }

    benchId = QDateTime::currentDateTimeUtc().toString("yyyyMMdd-HHmmss") + '-' +
              QString::number(::getpid());
    const bool terminal = !json && &out == &std::cout && ::isatty(STDOUT_FILENO);
    progress = std::make_unique<BenchProgress>(
        out, err,
        json ? BenchProgress::Mode::Json
             : (terminal ? BenchProgress::Mode::Terminal : BenchProgress::Mode::Lines),
        tables);
    {
        // Caught from before the first child starts until the last one has ended.
        BenchSignals caught;
        progress->begin(benchId, command);
        startChildren(settings, arguments.isEmpty() ? QString() : file, content);
        waitForChildren(caught, terminal);
    }
    progress->finish();

    double opening = -1;
    for (const BenchTable& table : tables) {
        if (!table.firstSector) continue;
        const double seconds = std::chrono::duration<double>(*table.firstSector - start).count();
        if (opening < 0 || seconds < opening) opening = seconds;
    }
    const BenchSummary summary(benchId, tables, opening, secondsSinceStart());
    if (json) {
        JsonOutput::write(out, summary.json());
    } else {
        summary.print(out);
    }
    return summary.allSucceeded() ? Done : Failed;
}

void ServiceBench::startChildren(const RunSettings& settings, const QString& file,
                                 const QByteArray& content) {
    const QStringList environment = settings.childEnvironment();
    const int memoryFile = firmwareFile(content);
    for (BenchTable& table : tables) {
        children.emplace_back();
        if (table.serialNumber == "-") {
            table.fail("Can't read the serial number of this OrbiZo3.");
        } else if (memoryFile < 0) {
            table.fail(QString("Cannot hand the firmware to the table's process: %1")
                           .arg(std::strerror(errno)));
        } else {
            const int input = readerOf(memoryFile);
            children.back() = std::make_unique<BenchChildProcess>(
                program, childArguments(settings, table, file), environment, input);
            if (input >= 0) ::close(input);
            table.started = BenchTable::Clock::now();
            if (!children.back()->started()) table.fail(children.back()->problem());
        }
        if (table.done()) {
            progress->event(
                table,
                QJsonObject{
                    {"event", "finished"}, {"outcome", table.outcome}, {"message", table.message}},
                secondsSinceStart());
        } else {
            progress->event(table,
                            QJsonObject{{"event", "started"}, {"pid", children.back()->pid()}},
                            secondsSinceStart());
        }
    }
    if (memoryFile >= 0) ::close(memoryFile);
}

QStringList ServiceBench::childArguments(const RunSettings& settings, const BenchTable& table,
                                         const QString& file) const {
    RunSettings own = settings;
    if (!own.traceFile().isEmpty())
        own.setTraceFile(traceFileOf(own.traceFile(), table.serialNumber));
    QStringList arguments = own.toArguments();
    arguments << "--yes"
              << "--device" << table.devicePath
              << (kind == HistoryRecord::Kind::Update ? "update" : "verify") << "--bench-child"
              << table.serialNumber << "--bench-id" << benchId;
    if (!file.isEmpty()) arguments << file;
    return arguments;
}

void ServiceBench::waitForChildren(BenchSignals& caught, bool terminal) {
    struct Watched {
        std::size_t index;
        bool output;
    };
    for (;;) {
        std::vector<pollfd> fds{{caught.fd(), POLLIN, 0}};
        std::vector<Watched> watched;
        bool anyRunning = false;
        for (std::size_t i = 0; i < children.size(); ++i) {
            BenchChildProcess* child = children[i].get();
            if (!child || !child->running()) continue;
            anyRunning = true;
            if (child->outputFd() >= 0) {
                fds.push_back({child->outputFd(), POLLIN, 0});
                watched.push_back({i, true});
            }
            if (child->errorFd() >= 0) {
                fds.push_back({child->errorFd(), POLLIN, 0});
                watched.push_back({i, false});
            }
            if (!child->pipesOpen()) ended(i);
        }
        if (!anyRunning) return;
        if (watched.empty()) continue;
        const int ready = ::poll(fds.data(), fds.size(), terminal ? kTerminalTickMs : -1);
        if (ready < 0 && errno != EINTR) return;
        if (ready <= 0) {
            progress->tick();
            continue;
        }
        if (fds[0].revents != 0) {
            for (int signal : caught.take()) passOn(signal);
        }
        for (std::size_t k = 0; k < watched.size(); ++k) {
            if (fds[k + 1].revents == 0) continue;
            if (watched[k].output) {
                takeOutput(watched[k].index);
            } else {
                children[watched[k].index]->readError();
            }
        }
    }
}

// SIGHUP (the terminal went away) is held off: the tables finish and the summary is written
// where it can be.
void ServiceBench::passOn(int signal) {
    if (signal != SIGINT && signal != SIGTERM) return;
    ++interruptSteps;
    if (interruptSteps > 2) return;
    progress->interrupted(interruptSteps, interruptSteps == 1 ? kFirstStep : kSecondStep,
                          secondsSinceStart());
    // The second step stops at once, as a second Ctrl-C stops a single update. It goes as
    // SIGKILL: a second SIGINT could merge with the first while that is still pending in a child
    // that has not run since, and the child would only warn.
    for (const auto& child : children) {
        if (child) child->signal(interruptSteps == 1 ? SIGINT : SIGKILL);
    }
}

void ServiceBench::takeOutput(std::size_t index) {
    BenchTable& table = tables[index];
    for (const QByteArray& line : children[index]->readOutputLines()) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (!document.isObject()) continue;
        const bool wasDone = table.done();
        table.apply(document.object());
        if (!wasDone) progress->event(table, document.object(), secondsSinceStart());
    }
}

void ServiceBench::ended(std::size_t index) {
    BenchChildProcess& child = *children[index];
    BenchTable& table = tables[index];
    const bool reported = table.done();
    table.processEnded(child.reap(), interruptSteps, child.errorText());
    if (!reported)
        progress->event(
            table,
            QJsonObject{
                {"event", "finished"}, {"outcome", table.outcome}, {"message", table.message}},
            secondsSinceStart());
}

double ServiceBench::secondsSinceStart() const {
    return std::chrono::duration<double>(BenchTable::Clock::now() - start).count();
}

QString ServiceBench::traceFileOf(const QString& traceFile, const QString& serialNumber) {
    const QFileInfo info(traceFile);
    const QString name = info.suffix().isEmpty()
                             ? info.fileName() + '-' + serialNumber
                             : info.completeBaseName() + '-' + serialNumber + '.' + info.suffix();
    return info.path() == "." && !traceFile.startsWith("./") ? name : info.path() + '/' + name;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

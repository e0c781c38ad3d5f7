#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "cli/CliCommand.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// Picks the subcommand from the command line and runs it. Global options stand before the
// subcommand's name; everything after the name belongs to the subcommand (its own options
// and arguments, which the first pass therefore does not judge).
class CommandDispatcher {
public:
    explicit CommandDispatcher(const QString& description);

    void addGlobalOption(const QCommandLineOption& option);
    // Judges the global options' values once a command line has been parsed: empty when they
    // are usable, else the problem, which makes the run a usage error.
    void setGlobalOptionCheck(std::function<QString(const QCommandLineParser&)> check);
    void addCommand(std::unique_ptr<CliCommand> command);
    // How a command's settings come about once its command line has parsed and passed the
    // checks: `settings` makes them from the parser (default: RunSettings()), then `startUp`
    // (when given) is called once with them before the command runs.
    void setRunSettings(
        std::function<Korvane::Utilities::RunSettings(const QCommandLineParser&)> settings,
        std::function<void(const Korvane::Utilities::RunSettings&)> startUp = {});

    // `arguments` as QCoreApplication::arguments() gives them, the program first.
    // Returns the process exit code.
    int run(const QStringList& arguments, std::ostream& out, std::ostream& err);

private:
    void addGlobalOptions(QCommandLineParser& parser) const;
    CliCommand* find(const QString& name) const;
    QString commandList() const;
    int runCommand(CliCommand& command, const QStringList& arguments, std::ostream& out,
                   std::ostream& err);
    static int usageError(const QString& problem, const QCommandLineParser& parser,
                          const QStringList& arguments, std::ostream& out, std::ostream& err);

    QString description;
    std::vector<QCommandLineOption> globalOptions;
    std::function<QString(const QCommandLineParser&)> globalOptionCheck;
    std::function<Korvane::Utilities::RunSettings(const QCommandLineParser&)> settingsOf;
    std::function<void(const Korvane::Utilities::RunSettings&)> startUp;
    std::vector<std::unique_ptr<CliCommand>> commands;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

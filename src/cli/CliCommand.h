#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <ostream>

#include "utilities/RunSettings.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// One subcommand of orbizo3-cli (`orbizo3-cli [global options] NAME [options] [arguments]`).
// The dispatcher builds a parser holding the global options, the command's name and whatever
// configure() adds, parses the whole command line with it and then calls checkArguments() and
// run() with the run's settings (the environment's under the global options) and the
// positional arguments that follow the name.
class CliCommand {
public:
    virtual ~CliCommand();

    virtual QString name() const = 0;
    // One line for the command list of the program's help.
    virtual QString description() const = 0;
    // Adds the command's own options and positional arguments.
    virtual void configure(QCommandLineParser& parser) const = 0;
    // Empty when the arguments fit the command; otherwise what is wrong (a usage error).
    virtual QString checkArguments(const QStringList& arguments) const = 0;
    // Does the work; returns an ExitCode. Results go to `out`, failures to `err`.
    virtual int run(const QCommandLineParser& parser,
                    const Korvane::Utilities::RunSettings& settings, const QStringList& arguments,
                    std::ostream& out, std::ostream& err) = 0;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

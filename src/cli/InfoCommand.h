#pragma once

#include "cli/CliCommand.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// `info`: the serial number and firmware version of the selected table (--device, else the
// first one found), as "Serial number: ..." and "Firmware version: ..." lines. A failure
// prints its title, text and detail on standard error and exits 1.
class InfoCommand : public CliCommand {
public:
    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const QStringList& arguments, std::ostream& out,
            std::ostream& err) override;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

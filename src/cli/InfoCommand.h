#pragma once

#include <QJsonValue>

#include "cli/CliCommand.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {
struct DeviceInfo;
}
namespace Cli {

// `info`: the serial number and firmware version of the selected table (--device, else the
// only one present; several without --device are refused, exit 2) and the latency timer its
// converter works with on the connection, as "Serial number: ...", "Firmware version: ..." and
// "Latency timer: N ms" lines, or with --json as {"device": ..., "serial_number": ...,
// "firmware_version": "1.09" or null, "latency_timer_ms": N, "simulated": ...}. A failure prints
// its title, text and detail on standard error (or the JSON error) and exits 1.
class InfoCommand : public CliCommand {
public:
    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const Korvane::Utilities::RunSettings& settings,
            const QStringList& arguments, std::ostream& out, std::ostream& err) override;

    static QJsonValue versionJson(const Firmware::DeviceInfo& info);
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <istream>

#include "cli/CliCommand.h"
#include "firmware/EmbeddedFirmwareVersion.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {
class OrbiZo3FWUpdater;
}
namespace History {
class ServiceRecord;
}
namespace Cli {

class ProgressDisplay;

// `update [FILE.zof]`: writes the embedded firmware, or FILE, into the selected table, as the
// window's update does: the three confirmation questions (y/N on standard input, skipped with
// --yes), the announcement with the table's serial number, the download with its progress,
// and the version read back. Success prints "Successfully updated firmware." and the version
// (1.09 for the embedded firmware when it cannot be read back), exit 0. A refusal, a failure
// or a "no" prints what went wrong and exits 1.
//
// Ctrl-C is held off while the table is programmed (see InterruptGuard).
// With --all, or --device given more than once, the command is a service bench (ServiceBench);
// its children run it with --bench-child (BenchChild).
class UpdateCommand : public CliCommand {
public:
    explicit UpdateCommand(std::istream& answers);

    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const Korvane::Utilities::RunSettings& settings,
            const QStringList& arguments, std::ostream& out, std::ostream& err) override;

    static constexpr const char* kEmbeddedFirmware = ":/Resources/FW_Zo3.zof";
    // The embedded firmware's version word, shown when the table's cannot be read back.
    static constexpr std::uint16_t kEmbeddedFirmwareVersion =
        ::Korvane::DeviceDriver::OrbiZo::Firmware::kEmbeddedFirmwareVersion;

private:
    // The window's three questions in order; false at the first answer that is not yes.
    bool confirmAll(std::ostream& out);
    bool confirm(std::ostream& out, const QString& question, const QString& detail);
    // Announcement, download and read-back; throws what the facade throws.
    void performUpdate(Firmware::OrbiZo3FWUpdater& updater, bool customFirmware,
                       ProgressDisplay& progress, History::ServiceRecord* record);
    static void readBackVersion(Firmware::OrbiZo3FWUpdater& updater);

    std::istream& answers;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

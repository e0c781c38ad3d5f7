#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <istream>

#include "cli/CliCommand.h"
#include "firmware/FirmwareVerifier.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// `verify FILE`: checks what the table holds against a firmware file without changing its
// flash. The file is read and checked as `update` does; the table is put into its bootloader
// (restart, boot break), every sector the file holds is compared by checksum, and the table is
// restarted into its application. Prints "sector <n> match" or
// "sector <n> differs: table 0x<sum> file 0x<sum>" per sector, then "verified" or "differs".
// Exit 0 only when every sector matches and the table is back in its application; 1 when a
// sector differs, the file is refused, the table fails or stays in its bootloader, or the
// question is not answered with yes. Asks one question (the window's first) unless --yes.
// Ctrl-C is held off while the table is in its bootloader (see InterruptGuard).
// With --all, or --device given more than once, a read-only service bench (ServiceBench).
class VerifyCommand : public CliCommand {
public:
    explicit VerifyCommand(std::istream& answers);

    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const Korvane::Utilities::RunSettings& settings,
            const QStringList& arguments, std::ostream& out, std::ostream& err) override;

private:
    bool confirm(std::ostream& out);
    static void printSector(const Firmware::FirmwareVerifier::SectorComparison& sector,
                            std::ostream& out);
    static QJsonArray sectorsJson(
        const std::vector<Firmware::FirmwareVerifier::SectorComparison>& sectors);

    std::istream& answers;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

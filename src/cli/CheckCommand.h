#pragma once

#include <cstdint>

#include "cli/CliCommand.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {
class FlashSectorImage;
}
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// `check FILE`: loads a firmware file into a flash image without any table and prints each
// sector holding data with the 32-bit byte sum of its 8192 bytes, then the vector checksum
// ("-" without sector 0). A file that does not load prints "error 0x<code>: <message>".
// FILE may also name a compiled-in resource such as ":/Resources/FW_Zo3.zof".
class CheckCommand : public CliCommand {
public:
    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const QStringList& arguments, std::ostream& out,
            std::ostream& err) override;

private:
    static void printSectors(const Firmware::FlashSectorImage& image, std::ostream& out);
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

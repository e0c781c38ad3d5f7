#pragma once

#include <QJsonObject>
#include <cstdint>
#include <string>

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

// `check FILE`: reads and checks a firmware file exactly as `update` does, without any table.
// Once the file has parsed, it prints each sector holding data with the 32-bit byte sum of its
// 8192 bytes, then the vector checksum ("-" without sector 0). Every refusal (size, format,
// image, sector rules) prints "error 0x<code>: <message>" on standard error and exits 1, so
// that a file check accepts is one `update` accepts. FILE may also name a compiled-in resource
// such as ":/Resources/FW_Zo3.zof".
// With --json the listing is one document, and a refusal the JSON error beside it.
class CheckCommand : public CliCommand {
public:
    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const Korvane::Utilities::RunSettings& settings,
            const QStringList& arguments, std::ostream& out, std::ostream& err) override;

private:
    static QJsonObject sectorsJson(const QString& path, const Firmware::FlashSectorImage& image);
    static void printSectors(const Firmware::FlashSectorImage& image, std::ostream& out);
    static void printError(std::ostream& err, std::int32_t code, const std::string& message);
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

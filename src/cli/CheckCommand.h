#pragma once

#include <QByteArray>
#include <QJsonObject>
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
// After the listing the download's own rules apply (more than 10000 bytes, no data in sectors
// 0, 2 or 3): a file they refuse prints the refusal on standard error and exits 1, so that a
// file check accepts is one `update` accepts. With --json the listing is one document, and a
// failure the JSON error (beside the listing when only the download's rules refuse the file).
class CheckCommand : public CliCommand {
public:
    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const QStringList& arguments, std::ostream& out,
            std::ostream& err) override;

private:
    static QJsonObject sectorsJson(const QString& path, const Firmware::FlashSectorImage& image);
    static void printSectors(const Firmware::FlashSectorImage& image, std::ostream& out);
    // Prints the refusal on `err`, or puts it into `refusal` as the JSON error when given.
    static bool downloadAccepts(const QByteArray& content, std::ostream& err,
                                QJsonObject* refusal = nullptr);
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

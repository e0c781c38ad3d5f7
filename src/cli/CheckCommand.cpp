#include "cli/CheckCommand.h"

#include <QFile>
#include <QJsonArray>
#include <boost/format.hpp>
#include <vector>

#include "cli/ExitCode.h"
#include "cli/JsonOutput.h"
#include "firmware/FlashSectorImage.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/UserFailure.h"
#include "utilities/ErrorCodes.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::FlashSectorImage;
using Firmware::OrbiZo3FWUpdater;

QString CheckCommand::name() const {
    return "check";
}

QString CheckCommand::description() const {
    return "Check a firmware file without a table: list its sectors and sums.";
}

void CheckCommand::configure(QCommandLineParser& parser) const {
    parser.addPositionalArgument("FILE", "Firmware file (.zof).");
}

QString CheckCommand::checkArguments(const QStringList& arguments) const {
    return arguments.size() == 1 ? QString() : "check takes exactly one firmware file.";
}

int CheckCommand::run(const QCommandLineParser& parser, const Korvane::Utilities::RunSettings&,
                      const QStringList& arguments, std::ostream& out, std::ostream& err) {
    const bool json = JsonOutput::requested(parser);
    const QString path = arguments.first();
    QByteArray content;
    try {
        content = OrbiZo3FWUpdater::readFirmwareFile(path);
    } catch (...) {
        const UserFailure refusal = UserFailure::fromCurrentException();
        const QString problem = "Cannot read firmware file '" + path + "'";
        if (json)
            JsonOutput::write(out, JsonOutput::error(0, problem, refusal.detail));
        else
            err << problem.toStdString() << ": " << refusal.detail.toStdString() << "\n";
        return Failed;
    }

    // The very check a download makes; the listing comes once the file has parsed.
    QJsonObject listing;
    try {
        OrbiZo3FWUpdater::checkFirmware(std::vector<std::uint8_t>(content.begin(), content.end()),
                                        [&](const FlashSectorImage& image) {
                                            if (json)
                                                listing = sectorsJson(path, image);
                                            else
                                                printSectors(image, out);
                                        });
        if (json) JsonOutput::write(out, listing);
        return Done;
    } catch (...) {
        const UserFailure e = UserFailure::fromCurrentException();
        if (e.source == UserFailure::Source::Message) {
            // Only the size rule refuses this way; it shares the sector rules' code here.
            if (json)
                JsonOutput::write(out, JsonOutput::error(ErrorCode::FirmwareSectorsRefused, e.text,
                                                         e.detail, listing));
            else
                printError(err, ErrorCode::FirmwareSectorsRefused, e.text.toStdString());
        } else {
            // The listing, when the file parsed, stands beside a refusal of the sector rules.
            if (json)
                JsonOutput::write(out, JsonOutput::error(e.code, e.reason, QString(), listing));
            else
                printError(err, e.code, e.reason.toLocal8Bit().toStdString());
        }
    }
    return Failed;
}

void CheckCommand::printError(std::ostream& err, std::int32_t code, const std::string& message) {
    err << boost::format("error 0x%08x: %s\n") % static_cast<std::uint32_t>(code) % message;
}

// {"file": ..., "sectors": [{"sector": n, "start": "0x0a000", "end": "0x0bfff",
// "sum": "0x..."}], "vector_checksum": "0x..." or null}
QJsonObject CheckCommand::sectorsJson(const QString& path, const FlashSectorImage& image) {
    QJsonArray sectors;
    for (std::size_t index = 0; index < image.sectorCount(); ++index) {
        std::uint32_t start = 0;
        if (!image.hasSectorData(index, start)) continue;
        const std::uint32_t sum = image.sectorSum(index);
        sectors.append(
            QJsonObject{{"sector", static_cast<int>(index)},
                        {"start", JsonOutput::hex(start, 5)},
                        {"end", JsonOutput::hex(start + FlashSectorImage::kSectorSize - 1, 5)},
                        {"sum", JsonOutput::hex(sum)}});
    }
    std::uint32_t start = 0;
    const QJsonValue vector = image.hasSectorData(0, start)
                                  ? QJsonValue(JsonOutput::hex(image.vectorChecksum()))
                                  : QJsonValue();
    return QJsonObject{{"file", path}, {"sectors", sectors}, {"vector_checksum", vector}};
}

void CheckCommand::printSectors(const FlashSectorImage& image, std::ostream& out) {
    for (std::size_t index = 0; index < image.sectorCount(); ++index) {
        std::uint32_t start = 0;
        if (!image.hasSectorData(index, start)) continue;
        const std::uint32_t sum = image.sectorSum(index);
        out << boost::format("sector %d 0x%05x-0x%05x sum 0x%08x\n") % index % start %
                   (start + FlashSectorImage::kSectorSize - 1) % sum;
    }
    std::uint32_t start = 0;
    if (image.hasSectorData(0, start)) {
        out << boost::format("vector checksum 0x%08x\n") % image.vectorChecksum();
    } else {
        out << "vector checksum -\n";
    }
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

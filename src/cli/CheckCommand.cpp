#include "cli/CheckCommand.h"

#include <QFile>
#include <boost/format.hpp>
#include <vector>

#include "cli/ExitCode.h"
#include "firmware/FlashSectorImage.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "utilities/ErrorCodes.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::FlashSectorImage;

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

int CheckCommand::run(const QCommandLineParser&, const QStringList& arguments, std::ostream& out,
                      std::ostream& err) {
    const QString path = arguments.first();
    QByteArray content;
    try {
        content = OrbiZo3FWUpdater::readFirmwareFile(path);
    } catch (const MessageException& refusal) {
        err << "Cannot read firmware file '" << path.toStdString()
            << "': " << refusal.detail.toStdString() << "\n";
        return Failed;
    }

    // The very check a download makes; the listing comes once the file has parsed.
    try {
        OrbiZo3FWUpdater::checkFirmware(
            std::vector<std::uint8_t>(content.begin(), content.end()),
            [&out](const FlashSectorImage& image) { printSectors(image, out); });
    } catch (const MessageException& refusal) {
        // Only the size rule refuses this way; it shares the sector rules' code here.
        printError(err, ErrorCode::FirmwareSectorsRefused, refusal.text.toStdString());
        return Failed;
    } catch (const OrbiZoException& e) {
        printError(err, e.code, e.what());
        return Failed;
    }
    return Done;
}

void CheckCommand::printError(std::ostream& err, std::int32_t code, const std::string& message) {
    err << boost::format("error 0x%08x: %s\n") % static_cast<std::uint32_t>(code) % message;
}

void CheckCommand::printSectors(const FlashSectorImage& image, std::ostream& out) {
    std::vector<std::uint8_t> bytes(FlashSectorImage::kSectorSize);
    for (std::size_t index = 0; index < image.sectorCount(); ++index) {
        std::uint32_t start = 0;
        if (!image.hasSectorData(index, start)) continue;
        image.copySector(index, start, bytes.data(), FlashSectorImage::kSectorSize);
        std::uint32_t sum = 0;
        for (std::uint8_t b : bytes) sum += b;
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

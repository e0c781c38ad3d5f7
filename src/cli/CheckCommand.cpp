#include "cli/CheckCommand.h"

#include <QFile>
#include <boost/format.hpp>
#include <vector>

#include "cli/ExitCode.h"
#include "firmware/FlashSectorImage.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/OrbiZo3FirmwareHandle.h"
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
    QFile file(path);
    QByteArray content;
    if (file.open(QIODevice::ReadOnly)) content = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        err << "Cannot read firmware file '" << path.toStdString()
            << "': " << file.errorString().toStdString() << "\n";
        return Failed;
    }

    FlashSectorImage image;
    try {
        image.load(content.constData(), static_cast<std::size_t>(content.size()));
    } catch (const OrbiZoException& e) {
        err << boost::format("error 0x%08x: %s\n") % static_cast<std::uint32_t>(e.code) % e.what();
        return Failed;
    }
    printSectors(image, out);
    return downloadAccepts(content, err) ? Done : Failed;
}

bool CheckCommand::downloadAccepts(const QByteArray& content, std::ostream& err) {
    try {
        OrbiZo3FWUpdater::checkFirmwareSize(static_cast<std::size_t>(content.size()));
        // Loading checks the sectors before any table is involved.
        Firmware::OrbiZo3FirmwareHandle handle(nullptr);
        handle.load(std::vector<std::uint8_t>(content.begin(), content.end()));
    } catch (const MessageException& e) {
        err << e.text.toStdString() << "\n";
        return false;
    } catch (const OrbiZoException& e) {
        err << boost::format("error 0x%08x: %s\n") % static_cast<std::uint32_t>(e.code) % e.what();
        return false;
    }
    return true;
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

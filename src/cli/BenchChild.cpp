#include "cli/BenchChild.h"

#include <QObject>
#include <iterator>
#include <string>

#include "cli/ExitCode.h"
#include "cli/InterruptGuard.h"
#include "cli/JsonOutput.h"
#include "cli/ProgressDisplay.h"
#include "cli/UserMessage.h"
#include "firmware/DeviceConnection.h"
#include "firmware/EmbeddedFirmwareVersion.h"
#include "firmware/FirmwareVerifier.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/UserFailure.h"
#include "history/ServiceRecord.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::DeviceConnection;
using Firmware::DeviceInfo;
using Firmware::FirmwareVerifier;
using Firmware::OrbiZo3FWUpdater;
using History::HistoryRecord;
using History::ServiceRecord;

namespace {
constexpr int kSectors = 15;
}

void BenchChild::configure(QCommandLineParser& parser) {
    QCommandLineOption child(kSerialOption, "Service bench child for the table SERIAL.", "SERIAL");
    child.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption bench(kBenchIdOption, "The service bench's id.", "ID");
    bench.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(child);
    parser.addOption(bench);
}

bool BenchChild::requested(const QCommandLineParser& parser) {
    return parser.isSet(kSerialOption);
}

BenchChild::BenchChild(HistoryRecord::Kind kind, const QCommandLineParser& parser,
                       const Korvane::Utilities::RunSettings& settings, std::ostream& out)
    : kind(kind),
      serial(parser.value(kSerialOption)),
      benchId(parser.value(kBenchIdOption)),
      devicePath(parser.value("device")),
      settings(settings),
      out(out) {}

int BenchChild::run(const QStringList& arguments, std::istream& firmware) {
    // From the first command on the table may sit in its bootloader; the bench decides.
    const InterruptGuard guard;
    const std::string bytes((std::istreambuf_iterator<char>(firmware)),
                            std::istreambuf_iterator<char>());
    const QByteArray content = QByteArray::fromStdString(bytes);
    const QString file = arguments.value(0);
    const bool update = kind == HistoryRecord::Kind::Update;
    const QString title =
        update ? UserMessage::updateFailureTitle() : UserMessage::verifyFailureTitle();
    ServiceRecord record(settings, kind, HistoryRecord::FrontEnd::Cli, devicePath, file, content,
                         update ? Firmware::kEmbeddedFirmwareVersion : 0,
                         [this](const QString& warning) {
                             write(QJsonObject{{"event", "warning"}, {"message", warning}});
                         });
    record.partOfBench(benchId);
    QJsonObject finished;
    try {
        identify(record);
        finished =
            update ? this->update(content, !file.isEmpty(), record) : verify(content, record);
    } catch (...) {
        const UserFailure failure = UserFailure::fromCurrentException();
        record.failed(failure, title);
        const QJsonObject error = JsonOutput::error(failure, title)["error"].toObject();
        QString message = error["message"].toString();
        if (!failure.codedDetail().isEmpty()) message += " [" + failure.codedDetail() + "]";
        finished = QJsonObject{{"outcome", tableStillPresent() ? "failed" : "disconnected"},
                               {"message", message},
                               {"where", failure.where},
                               {"code", error["code"]}};
    }
    finished.insert("event", "finished");
    write(finished);
    const QString outcome = finished["outcome"].toString();
    return outcome == "updated" || outcome == "verified" ? Done : Failed;
}

void BenchChild::identify(ServiceRecord& record) {
    progress(5);
    DeviceConnection connection(devicePath, settings);
    const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
    if (info.serialNumber != serial)
        throw MessageException(
            "Another OrbiZo3 at this device path",
            QString("The bench expected %1 at %2 and found %3; it leaves that table alone.")
                .arg(serial, devicePath, info.serialNumber));
    record.identified(info.serialNumber, info.firmwareVersion(), info.latencyTimerMs);
    write(QJsonObject{{"event", "identified"}, {"version_before", info.versionText()}});
}

QJsonObject BenchChild::update(const QByteArray& content, bool customFirmware,
                               ServiceRecord& record) {
    OrbiZo3FWUpdater updater(nullptr, settings);
    updater.setFirmwareData(content);
    updater.setDevicePath(devicePath);
    progress(15);
    {
        // The download reports each sector index before it programs it, on this thread.
        const QObject receiver;
        QObject::connect(&updater, &OrbiZo3FWUpdater::ProgressEvent, &receiver,
                         [this](int current, int total) {
                             ++sector;
                             progress(ProgressDisplay::percentFromWorkUnits(current, total));
                         });
        updater.setDownloadObserver(&record);
        updater.downloadFirmware();
        updater.setDownloadObserver(nullptr);
    }
    progress(90);
    std::uint16_t version = 0;
    try {
        // A read-back failure does not undo a completed download; the version is then unknown.
        DeviceConnection connection(devicePath, settings);
        version = OrbiZo3FWUpdater::readDeviceInfo(connection).firmwareVersion();
    } catch (...) {
    }
    if (!customFirmware && version == 0) version = Firmware::kEmbeddedFirmwareVersion;
    record.succeeded(version);
    progress(100);
    return QJsonObject{
        {"outcome", "updated"},
        {"version_after", version == 0 ? QString("-") : DeviceInfo::versionText(version)}};
}

QJsonObject BenchChild::verify(const QByteArray& content, ServiceRecord& record) {
    FirmwareVerifier verifier(devicePath, content, settings);
    record.begin();
    progress(15);
    QStringList differing;
    verifier.compareSectors([&](const FirmwareVerifier::SectorComparison& compared) {
        if (compared.matches()) record.sectorConfirmed(compared.sector, compared.tableSum);
        if (!compared.matches()) differing << QString::number(compared.sector);
        sector = compared.sector;
        progress(15 + 75 * (compared.sector + 1) / kSectors);
    });
    verifier.restartApplication();
    progress(100);
    if (differing.isEmpty()) {
        record.succeeded(0);
        return QJsonObject{{"outcome", "verified"}};
    }
    HistoryRecord::Failure differs;
    differs.text = "differs";
    differs.detail = "Sectors that differ from the file: " + differing.join(", ");
    record.failed(differs);
    return QJsonObject{{"outcome", "differs"}, {"message", differs.detail}};
}

bool BenchChild::tableStillPresent() const {
    for (const std::string& path : USB::findDevicePaths(kOrbiZo3VendorId, kOrbiZo3ProductId)) {
        if (QString::fromStdString(path).compare(devicePath, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

void BenchChild::progress(int percent) {
    write(QJsonObject{{"event", "progress"}, {"percent", percent}, {"sector", sector}});
}

void BenchChild::write(const QJsonObject& event) {
    JsonOutput::write(out, event);
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "history/ServiceRecord.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <utility>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

ServiceRecord::ServiceRecord(const Korvane::Utilities::RunSettings& settings,
                             HistoryRecord::Kind kind, HistoryRecord::FrontEnd frontEnd,
                             const QString& devicePath, const QString& firmwareFile,
                             const QByteArray& content, std::uint16_t embeddedVersion, Warn warn)
    : recorder(settings.historyFile()), warn(std::move(warn)) {
    record.kind = kind;
    record.frontEnd = frontEnd;
    // Never null: the history requires a version text, empty when the program states none.
    record.programVersion = QCoreApplication::applicationVersion();
    if (record.programVersion.isNull()) record.programVersion = QStringLiteral("");
    record.devicePath = devicePath;
    record.simulated = settings.simulated();
    record.user = settings.userName();
    record.latencyTimerMs =
        settings.latencyTimerMs() == Korvane::Utilities::RunSettings::kKeepConverterLatencyTimer
            ? -1
            : settings.latencyTimerMs();
    HistoryRecord::Firmware& firmware = record.firmware;
    firmware.embedded = firmwareFile.isEmpty();
    if (firmware.embedded) {
        firmware.embeddedVersion = embeddedVersion;
    } else {
        const QFileInfo file(firmwareFile);
        firmware.fileName = file.fileName();
        firmware.filePath = file.absoluteFilePath();
        firmware.fileSize = content.size();
    }
    firmware.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
}

// An attempt left without a finish call (an exception nobody translated) is not recorded as a
// success: the recorder ends a running record as interrupted when it goes.
ServiceRecord::~ServiceRecord() {
    showWarnings();
}

void ServiceRecord::identified(const QString& serialNumber, std::uint16_t versionBefore,
                               int latencyTimerMs) {
    record.serialNumber = serialNumber;
    record.versionBefore = versionBefore;
    // A converter left at its own timer (-1) is not asked, so nothing was read back.
    if (latencyTimerMs > 0 && record.latencyTimerMs != -1) record.latencyTimerMs = latencyTimerMs;
}

void ServiceRecord::partOfBench(const QString& benchId) {
    record.benchId = benchId;
}

void ServiceRecord::begin() {
    if (begun) return;
    begun = true;
    recorder.begin(record);
    showWarnings();
}

void ServiceRecord::aboutToChangeTable() {
    begin();
}

void ServiceRecord::sectorWritten(int sector) {
    recorder.sectorWritten(sector);
}

void ServiceRecord::sectorConfirmed(int sector, std::uint32_t sum) {
    recorder.sectorConfirmed(sector, sum);
}

void ServiceRecord::succeeded(std::uint16_t versionAfter) {
    finish(HistoryRecord::Outcome::Succeeded, versionAfter);
}

void ServiceRecord::cancelled() {
    finish(HistoryRecord::Outcome::Cancelled, 0);
}

void ServiceRecord::failed(const HistoryRecord::Failure& failure) {
    finish(HistoryRecord::Outcome::Failed, 0, failure);
}

void ServiceRecord::locate(HistoryRecord::Failure& failure, const QString& where) {
    static const QRegularExpression inSector(QStringLiteral("\\bin sector (\\d+)"));
    const QString trimmed = where.trimmed();
    const QString first = trimmed.section(QLatin1Char(' '), 0, 0);
    failure.command = first == QLatin1String("in") ? QString() : first;
    const QRegularExpressionMatch sector = inSector.match(trimmed);
    failure.sector = sector.hasMatch() ? sector.captured(1).toInt() : -1;
}

void ServiceRecord::finish(HistoryRecord::Outcome outcome, std::uint16_t versionAfter,
                           const HistoryRecord::Failure& failure) {
    begin();
    recorder.finish(outcome, versionAfter, failure);
    showWarnings();
}

void ServiceRecord::showWarnings() {
    for (const QString& warning : recorder.takeWarnings())
        if (warn) warn(warning);
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

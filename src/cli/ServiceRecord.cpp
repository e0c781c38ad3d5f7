#include "cli/ServiceRecord.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>

#include "firmware/DeviceInfo.h"
#include "firmware/UserFailure.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using History::HistoryRecord;

ServiceRecord::ServiceRecord(const Korvane::Utilities::RunSettings& settings,
                             HistoryRecord::Kind kind, const QString& devicePath,
                             const QString& firmwareFile, const QByteArray& content,
                             std::uint16_t embeddedVersion, std::ostream& err)
    : recorder(settings.historyFile()), err(err) {
    record.kind = kind;
    record.frontEnd = HistoryRecord::FrontEnd::Cli;
    record.programVersion = QCoreApplication::applicationVersion();
    record.devicePath = devicePath;
    record.simulated = settings.simulated();
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

// A command that leaves without finishing (an exception nobody translated) is not recorded as
// a success: the recorder's own destructor ends a running record as interrupted.
ServiceRecord::~ServiceRecord() {
    showWarnings();
}

void ServiceRecord::identified(const Firmware::DeviceInfo& info) {
    record.serialNumber = info.serialNumber;
    record.versionBefore = info.firmwareVersion();
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

void ServiceRecord::failed(const Firmware::UserFailure& failure) {
    finish(HistoryRecord::Outcome::Failed, 0, failureFields(failure));
}

HistoryRecord::Failure ServiceRecord::failureFields(const Firmware::UserFailure& failure) {
    HistoryRecord::Failure fields;
    fields.code = failure.code;
    fields.caption = failure.caption;
    fields.text = failure.text;
    fields.detail = failure.detail;
    static const QRegularExpression inSector(QStringLiteral("\\bin sector (\\d+)"));
    const QString where = failure.where.trimmed();
    const QString first = where.section(QLatin1Char(' '), 0, 0);
    if (first != QLatin1String("in")) fields.command = first;
    const QRegularExpressionMatch sector = inSector.match(where);
    if (sector.hasMatch()) fields.sector = sector.captured(1).toInt();
    return fields;
}

// An attempt that ended before it changed anything is recorded all the same: it chose a table.
void ServiceRecord::finish(HistoryRecord::Outcome outcome, std::uint16_t versionAfter,
                           const HistoryRecord::Failure& failure) {
    begin();
    recorder.finish(outcome, versionAfter, failure);
    showWarnings();
}

void ServiceRecord::showWarnings() {
    for (const QString& warning : recorder.takeWarnings())
        err << warning.toStdString() << std::endl;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "history/HistoryCsv.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

QString version(std::uint16_t word) {
    return word == 0 ? QString() : HistoryRecord::versionText(word);
}

QString number(qint64 value, qint64 unknown = -1) {
    return value == unknown ? QString() : QString::number(value);
}

QString hex(std::uint32_t value) {
    return "0x" + QString::number(value, 16).rightJustified(8, '0');
}

}  // namespace

QString HistoryCsv::document(const std::vector<HistoryRecord>& records) {
    QString text = header();
    for (const HistoryRecord& record : records) text += line(record);
    return text;
}

QString HistoryCsv::header() {
    return QStringLiteral(
               "id,kind,front_end,program_version,user,host,started_utc,ended_utc,duration_ms,"
               "device_path,serial_number,version_before,version_after,simulated,"
               "latency_timer_ms,firmware,firmware_version,firmware_file_name,"
               "firmware_file_path,firmware_file_size,firmware_sha256,bench_id,outcome,"
               "failure_code,failure_caption,failure_text,failure_detail,failure_command,"
               "failure_sector,sectors_written,sector_sums") +
           kLineEnd;
}

QString HistoryCsv::line(const HistoryRecord& record) {
    const HistoryRecord::Firmware& firmware = record.firmware;
    const HistoryRecord::Failure& failure = record.failure;
    const bool failed = record.outcome == HistoryRecord::Outcome::Failed;
    QStringList written;
    QStringList sums;
    for (const HistoryRecord::Sector& sector : record.sectors) {
        if (sector.written) written << QString::number(sector.index);
        if (sector.sum) sums << QString::number(sector.index) + ':' + hex(*sector.sum);
    }
    const QStringList fields{
        QString::number(record.id),
        HistoryRecord::text(record.kind),
        HistoryRecord::text(record.frontEnd),
        record.programVersion,
        record.user,
        record.host,
        HistoryRecord::timeText(record.started),
        HistoryRecord::timeText(record.ended),
        number(record.durationMs),
        record.devicePath,
        record.serialNumber,
        version(record.versionBefore),
        version(record.versionAfter),
        record.simulated ? "yes" : "no",
        number(record.latencyTimerMs),
        firmware.embedded ? "embedded" : "file",
        version(firmware.embeddedVersion),
        firmware.fileName,
        firmware.filePath,
        number(firmware.fileSize),
        firmware.sha256,
        record.benchId,
        HistoryRecord::text(record.outcome),
        failed && failure.code != 0 ? hex(static_cast<std::uint32_t>(failure.code)) : QString(),
        failed ? failure.caption : QString(),
        failed ? failure.text : QString(),
        failed ? failure.detail : QString(),
        failed ? failure.command : QString(),
        failed ? number(failure.sector) : QString(),
        written.join(' '),
        sums.join(' '),
    };
    QStringList quoted;
    for (const QString& value : fields) quoted << field(value);
    return quoted.join(',') + kLineEnd;
}

QString HistoryCsv::field(const QString& value) {
    static const QString special = QStringLiteral(",\"\r\n");
    bool needsQuotes = false;
    for (QChar c : value) needsQuotes = needsQuotes || special.contains(c);
    if (!needsQuotes) return value;
    return '"' + QString(value).replace('"', QStringLiteral("\"\"")) + '"';
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

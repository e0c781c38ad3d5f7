#include "history/HistoryRowReader.h"

#include <QVariant>
#include <algorithm>
#include <unordered_map>

#include "history/HistorySchema.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

namespace {

// Positions in HistorySchema::recordColumns().
enum Column {
    Id,
    Kind,
    FrontEnd,
    ProgramVersion,
    UserName,
    HostName,
    StartedUtc,
    EndedUtc,
    DurationMs,
    DevicePath,
    SerialNumber,
    VersionBefore,
    VersionAfter,
    Simulated,
    LatencyTimerMs,
    FirmwareEmbedded,
    FirmwareVersion,
    FirmwareFileName,
    FirmwareFilePath,
    FirmwareFileSize,
    FirmwareSha256,
    Outcome,
    FailureCode,
    FailureCaption,
    FailureText,
    FailureDetail,
    FailureCommand,
    FailureSector,
    Pid,
    BootId,
    ProcessStart,
    BenchId,
};

const QStringList kSectorColumns{"record_id", "sector", "written", "sum"};

std::uint16_t word(const QVariant& value) {
    return static_cast<std::uint16_t>(value.isNull() ? 0 : value.toUInt());
}

qint64 number(const QVariant& value, qint64 otherwise) {
    return value.isNull() ? otherwise : value.toLongLong();
}

}  // namespace

HistoryRowReader::HistoryRowReader(const QStringList& recordColumns,
                                   const QStringList& sectorColumns)
    : recordColumns(recordColumns), sectorColumns(sectorColumns) {}

bool HistoryRowReader::hasRecords() const {
    return !recordColumns.isEmpty();
}

bool HistoryRowReader::hasSectors() const {
    return recordColumns.contains("id") && sectorColumns.contains("record_id") &&
           sectorColumns.contains("sector");
}

QString HistoryRowReader::selectedColumn(const QString& column, const QStringList& present) const {
    return present.contains(column) ? column : QStringLiteral("NULL");
}

QString HistoryRowReader::recordSelection(bool bySerial, bool limited,
                                          const QString& columns) const {
    QString sql = "SELECT " + columns + " FROM record";
    // A file without serial numbers has none to match.
    if (bySerial) sql += " WHERE " + selectedColumn("serial_number", recordColumns) + " = ?";
    const QString id = recordColumns.contains("id") ? "id" : "rowid";
    sql += recordColumns.contains("started_utc") ? " ORDER BY started_utc DESC, " + id + " DESC"
                                                 : " ORDER BY " + id + " DESC";
    if (limited) sql += " LIMIT ?";
    return sql;
}

QString HistoryRowReader::recordQuery(bool bySerial, bool limited) const {
    QStringList selected;
    for (const QString& column : HistorySchema::recordColumns())
        selected << selectedColumn(column, recordColumns);
    return recordSelection(bySerial, limited, selected.join(", "));
}

QString HistoryRowReader::sectorQuery(bool bySerial, bool limited) const {
    QStringList selected;
    for (const QString& column : kSectorColumns) selected << selectedColumn(column, sectorColumns);
    return "SELECT " + selected.join(", ") + " FROM sector WHERE record_id IN (" +
           recordSelection(bySerial, limited, "id") + ")";
}

std::optional<HistoryRecord> HistoryRowReader::record(const QSqlQuery& query) const {
    const auto kind = HistoryRecord::kindFromText(query.value(Kind).toString());
    const auto frontEnd = HistoryRecord::frontEndFromText(query.value(FrontEnd).toString());
    const auto outcome = HistoryRecord::outcomeFromText(query.value(Outcome).toString());
    if (!kind || !frontEnd || !outcome) return std::nullopt;
    HistoryRecord record;
    record.id = query.value(Id).toLongLong();
    record.kind = *kind;
    record.frontEnd = *frontEnd;
    record.programVersion = query.value(ProgramVersion).toString();
    record.user = query.value(UserName).toString();
    record.host = query.value(HostName).toString();
    record.started = HistoryRecord::timeFromText(query.value(StartedUtc).toString());
    record.ended = HistoryRecord::timeFromText(query.value(EndedUtc).toString());
    record.durationMs = number(query.value(DurationMs), -1);
    record.devicePath = query.value(DevicePath).toString();
    record.serialNumber = query.value(SerialNumber).toString();
    record.versionBefore = word(query.value(VersionBefore));
    record.versionAfter = word(query.value(VersionAfter));
    record.simulated = query.value(Simulated).toInt() != 0;
    record.latencyTimerMs = static_cast<int>(number(query.value(LatencyTimerMs), -1));
    HistoryRecord::Firmware& firmware = record.firmware;
    firmware.embedded = query.value(FirmwareEmbedded).toInt() != 0;
    firmware.embeddedVersion = word(query.value(FirmwareVersion));
    firmware.fileName = query.value(FirmwareFileName).toString();
    firmware.filePath = query.value(FirmwareFilePath).toString();
    firmware.fileSize = number(query.value(FirmwareFileSize), -1);
    firmware.sha256 = query.value(FirmwareSha256).toString();
    record.outcome = *outcome;
    HistoryRecord::Failure& failure = record.failure;
    failure.code = static_cast<std::int32_t>(number(query.value(FailureCode), 0));
    failure.caption = query.value(FailureCaption).toString();
    failure.text = query.value(FailureText).toString();
    failure.detail = query.value(FailureDetail).toString();
    failure.command = query.value(FailureCommand).toString();
    failure.sector = static_cast<int>(number(query.value(FailureSector), -1));
    record.process.pid = number(query.value(Pid), 0);
    record.process.bootId = query.value(BootId).toString();
    record.process.startTicks = number(query.value(ProcessStart), -1);
    record.benchId = query.value(BenchId).toString();
    if (record.outcome == HistoryRecord::Outcome::Running && !record.process.isRunning())
        record.outcome = HistoryRecord::Outcome::Interrupted;
    return record;
}

void HistoryRowReader::addSectors(QSqlQuery& query, std::vector<HistoryRecord>& records) {
    std::unordered_map<qint64, HistoryRecord*> byId;
    for (HistoryRecord& record : records) byId[record.id] = &record;
    while (query.next()) {
        const auto found = byId.find(query.value(0).toLongLong());
        if (found == byId.end()) continue;
        HistoryRecord::Sector sector;
        sector.index = query.value(1).toInt();
        sector.written = query.value(2).toInt() != 0;
        if (!query.value(3).isNull())
            sector.sum = static_cast<std::uint32_t>(query.value(3).toLongLong());
        found->second->sectors.push_back(sector);
    }
    for (HistoryRecord& record : records) {
        std::sort(record.sectors.begin(), record.sectors.end(),
                  [](const HistoryRecord::Sector& a, const HistoryRecord::Sector& b) {
                      return a.index < b.index;
                  });
    }
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

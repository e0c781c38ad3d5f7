#include "cli/HistoryCommand.h"

#include <QDir>
#include <QJsonArray>

#include "cli/ExitCode.h"
#include "cli/JsonOutput.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using History::HistoryRecord;

namespace {

QJsonValue versionJson(std::uint16_t word) {
    return word == 0 ? QJsonValue() : QJsonValue(HistoryRecord::versionText(word));
}

QJsonValue numberJson(qint64 value) {
    return value < 0 ? QJsonValue() : QJsonValue(value);
}

QJsonValue textJson(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QString durationText(qint64 ms) {
    return ms < 0 ? QStringLiteral("-") : QString::number(ms / 1000.0, 'f', 1) + " s";
}

QString outcomeText(const HistoryRecord& record) {
    QString text = HistoryRecord::text(record.outcome);
    if (record.outcome == HistoryRecord::Outcome::Failed && record.failure.code != 0)
        text += ' ' + JsonOutput::hex(static_cast<std::uint32_t>(record.failure.code));
    return text;
}

QString firmwareText(const HistoryRecord::Firmware& firmware) {
    return firmware.embedded ? "embedded " + HistoryRecord::versionText(firmware.embeddedVersion)
                             : firmware.fileName;
}

}  // namespace

QString HistoryCommand::name() const {
    return "history";
}

QString HistoryCommand::description() const {
    return "Show the service records of updates and verifications, newest first.";
}

void HistoryCommand::configure(QCommandLineParser& parser) const {
    parser.addOption(QCommandLineOption("serial", "Only the records of this serial number.", "S"));
    parser.addOption(QCommandLineOption("limit", "At most N records (the newest).", "N"));
    parser.addOption(QCommandLineOption("csv", "Write the records as CSV (RFC 4180)."));
}

QString HistoryCommand::checkArguments(const QStringList& arguments) const {
    return arguments.isEmpty() ? QString() : "history takes no arguments.";
}

int HistoryCommand::run(const QCommandLineParser& parser,
                        const Korvane::Utilities::RunSettings& settings, const QStringList&,
                        std::ostream& out, std::ostream& err) {
    const bool json = JsonOutput::requested(parser);
    const bool csv = parser.isSet("csv");
    if (json && csv) return usageError("history takes --json or --csv, not both.", json, out, err);
    int limit = 0;
    if (parser.isSet("limit")) {
        bool number = false;
        limit = parser.value("limit").toInt(&number);
        if (!number || limit < 1)
            return usageError("--limit takes a whole number from 1.", json, out, err);
    }
    const QString file = settings.historyFile();
    if (file.isEmpty())
        return usageError("history reads the history file; --no-history names none.", json, out,
                          err);
    const History::HistoryReader::Result result =
        History::HistoryReader::read(file, parser.value("serial"), limit);
    for (const QString& warning : result.warnings) err << warning.toStdString() << "\n";
    if (!result.readable) {
        if (json)
            JsonOutput::write(out, JsonOutput::error(0, result.warnings.join(' '), QString()));
        return Failed;
    }
    if (json) {
        QJsonArray records;
        for (const HistoryRecord& record : result.records) records.append(recordJson(record));
        JsonOutput::write(
            out, QJsonObject{{"history", QDir::toNativeSeparators(file)}, {"records", records}});
    } else if (csv) {
        out << History::HistoryCsv::document(result.records).toStdString() << std::flush;
    } else if (result.records.empty()) {
        out << "No update history.\n";
    } else {
        printTable(result.records, out);
    }
    return Done;
}

QJsonObject HistoryCommand::recordJson(const HistoryRecord& record) {
    const HistoryRecord::Firmware& firmware = record.firmware;
    QJsonObject firmwareJson{{"embedded", firmware.embedded}};
    if (firmware.embedded) {
        firmwareJson.insert("version", versionJson(firmware.embeddedVersion));
    } else {
        firmwareJson.insert("file_name", firmware.fileName);
        firmwareJson.insert("path", firmware.filePath);
        firmwareJson.insert("size", numberJson(firmware.fileSize));
    }
    firmwareJson.insert("sha256", textJson(firmware.sha256));
    QJsonValue error;
    if (record.outcome == HistoryRecord::Outcome::Failed) {
        const HistoryRecord::Failure& failure = record.failure;
        error = QJsonObject{{"code", JsonOutput::hex(static_cast<std::uint32_t>(failure.code))},
                            {"caption", failure.caption},
                            {"text", failure.text},
                            {"detail", failure.detail},
                            {"command", textJson(failure.command)},
                            {"sector", numberJson(failure.sector)}};
    }
    QJsonArray sectors;
    for (const HistoryRecord::Sector& sector : record.sectors) {
        sectors.append(QJsonObject{
            {"sector", sector.index},
            {"written", sector.written},
            {"sum", sector.sum ? QJsonValue(JsonOutput::hex(*sector.sum)) : QJsonValue()}});
    }
    return QJsonObject{
        {"id", record.id},
        {"kind", HistoryRecord::text(record.kind)},
        {"front_end", HistoryRecord::text(record.frontEnd)},
        {"program_version", record.programVersion},
        {"user", record.user},
        {"host", record.host},
        {"started", HistoryRecord::timeText(record.started)},
        {"ended", textJson(HistoryRecord::timeText(record.ended))},
        {"duration_ms", numberJson(record.durationMs)},
        {"device", record.devicePath},
        {"serial_number", record.serialNumber},
        {"firmware_version_before", versionJson(record.versionBefore)},
        {"firmware_version_after", versionJson(record.versionAfter)},
        {"simulated", record.simulated},
        {"latency_timer_ms", numberJson(record.latencyTimerMs)},
        {"firmware", firmwareJson},
        {"bench_id", textJson(record.benchId)},
        {"outcome", HistoryRecord::text(record.outcome)},
        {"error", error},
        {"sectors", sectors},
    };
}

// Columns as wide as their widest entry, two spaces apart.
void HistoryCommand::printTable(const std::vector<HistoryRecord>& records, std::ostream& out) {
    std::vector<QStringList> rows{
        {"Started (UTC)", "Kind", "Serial", "Firmware version", "Outcome", "Firmware", "Duration"}};
    for (const HistoryRecord& record : records) {
        rows.push_back({record.started.toString("yyyy-MM-dd HH:mm:ss"),
                        HistoryRecord::text(record.kind), record.serialNumber,
                        HistoryRecord::versionText(record.versionBefore) + " -> " +
                            HistoryRecord::versionText(record.versionAfter),
                        outcomeText(record), firmwareText(record.firmware),
                        durationText(record.durationMs)});
    }
    std::vector<int> widths(rows.front().size(), 0);
    for (const QStringList& row : rows) {
        for (int column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], int(row[column].size()));
    }
    for (const QStringList& row : rows) {
        QString line;
        for (int column = 0; column < row.size(); ++column) {
            const bool last = column + 1 == row.size();
            line += last ? row[column] : row[column].leftJustified(widths[column] + 2);
        }
        out << line.toStdString() << "\n";
    }
}

int HistoryCommand::usageError(const QString& problem, bool json, std::ostream& out,
                               std::ostream& err) {
    if (json)
        JsonOutput::write(out, JsonOutput::error(0, problem, QString()));
    else
        err << problem.toStdString() << "\n";
    return UsageError;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "cli/BenchSummary.h"

#include <QJsonArray>
#include <QStringList>
#include <algorithm>
#include <boost/format.hpp>
#include <cmath>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

namespace {

QString secondsText(double seconds) {
    return QString::number(seconds, 'f', 1) + " s";
}

double tenths(double seconds) {
    return std::round(seconds * 10) / 10;
}

}  // namespace

BenchSummary::BenchSummary(const QString& benchId, const std::vector<BenchTable>& tables,
                           double openingSeconds, double totalSeconds)
    : benchId(benchId),
      tables(tables),
      openingSeconds(openingSeconds),
      totalSeconds(totalSeconds) {}

bool BenchSummary::allSucceeded() const {
    return std::all_of(tables.begin(), tables.end(),
                       [](const BenchTable& table) { return table.succeeded(); });
}

void BenchSummary::print(std::ostream& out) const {
    std::vector<QStringList> rows{{"Serial", "Version", "Outcome", "Time", "Failure"}};
    for (const BenchTable& table : tables) {
        QString failure = table.succeeded() ? QString() : table.message;
        // A device failure's detail names where already.
        if (!table.succeeded() && !table.where.isEmpty() && !failure.contains(table.where))
            failure += " (at " + table.where + ")";
        rows.push_back({table.serialNumber, table.versionBefore + " -> " + table.versionAfter,
                        table.outcome, secondsText(table.seconds()), failure});
    }
    std::vector<int> widths(4, 0);
    for (const QStringList& row : rows) {
        for (int c = 0; c < 4; ++c)
            widths[c] = std::max(widths[c], static_cast<int>(row[c].size()));
    }
    const long succeeded = std::count_if(tables.begin(), tables.end(),
                                         [](const BenchTable& table) { return table.succeeded(); });
    out << "\nService bench " << benchId.toStdString() << ": " << succeeded << " of "
        << tables.size() << " succeeded in " << secondsText(totalSeconds).toStdString() << "\n";
    out << "Finding and opening the tables before the first sector: "
        << (openingSeconds < 0 ? std::string("-") : secondsText(openingSeconds).toStdString())
        << "\n";
    for (const QStringList& row : rows) {
        QString text;
        for (int c = 0; c < 4; ++c) text += row[c].leftJustified(widths[c] + 2);
        text += row[4];
        out << text.trimmed().toStdString() << "\n";
    }
    out << std::flush;
}

QJsonObject BenchSummary::json() const {
    QJsonArray list;
    int succeeded = 0;
    for (const BenchTable& table : tables) {
        list.append(table.json());
        if (table.succeeded()) ++succeeded;
    }
    return QJsonObject{
        {"event", "summary"},
        {"bench_id", benchId},
        {"tables", list},
        {"opening_seconds", openingSeconds < 0 ? QJsonValue() : QJsonValue(tenths(openingSeconds))},
        {"total_seconds", tenths(totalSeconds)},
        {"succeeded", succeeded},
        {"failed", static_cast<int>(tables.size()) - succeeded}};
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

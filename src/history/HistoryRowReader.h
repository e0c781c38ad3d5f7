#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "history/HistoryRecord.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// Turns rows of the history's tables into records, as far as this program understands them:
// given the columns a file's tables have (older or newer schemas than this program's), it
// selects the columns it knows that are there and reads NULL for the rest. Builds the queries
// that HistoryDatabase runs; opens nothing itself.
class HistoryRowReader {
public:
    HistoryRowReader(const QStringList& recordColumns, const QStringList& sectorColumns);

    bool hasRecords() const;
    bool hasSectors() const;

    // Newest first. Bound values: the serial number when `bySerial`, then the limit when
    // `limited`.
    QString recordQuery(bool bySerial, bool limited) const;
    // The sectors of the records recordQuery() selects, with the same bound values.
    QString sectorQuery(bool bySerial, bool limited) const;

    // The record at the query's current row; nullopt when it holds a kind, front end or outcome
    // this program does not know. A running record whose process has gone reads as interrupted.
    std::optional<HistoryRecord> record(const QSqlQuery& query) const;
    // Reads every row of a sectorQuery() into the records it belongs to (rows of other
    // records are skipped).
    static void addSectors(QSqlQuery& query, std::vector<HistoryRecord>& records);

private:
    QString selectedColumn(const QString& column, const QStringList& present) const;
    QString recordSelection(bool bySerial, bool limited, const QString& columns) const;

    QStringList recordColumns;
    QStringList sectorColumns;
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

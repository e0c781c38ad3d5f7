#pragma once

#include <QLabel>
#include <QString>
#include <QThreadPool>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {
class HistoryRecord;
}
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

// One line under the serial number and version: the selected table's last service record.
// The history is read on a thread of the line's own, never on the GUI thread; the answer comes
// back queued, and an answer for a table no longer shown is dropped. Lives in the GUI thread;
// its destructor waits for a read under way (a read of one record, milliseconds).
class LastRecordLine : public QLabel {
    Q_OBJECT

public:
    // `historyFile` empty: no history is kept, and the line stays empty.
    LastRecordLine(const QString& historyFile, QWidget* parent = nullptr);
    ~LastRecordLine() override;

    // Reads the last record of the table with `serialNumber` (again after an update ends).
    void showTable(const QString& serialNumber);
    // No table: an empty line.
    void clearTable();

    // "Last record: 2026-12-09 04:16 UTC, update 1.07 -> 1.09, succeeded (OZ3S000001.zof)".
    static QString describe(const Korvane::DeviceDriver::OrbiZo::History::HistoryRecord& record);

private:
    QString historyFile;
    unsigned request = 0;  // the newest read asked for; older answers are dropped
    QThreadPool reader;
};

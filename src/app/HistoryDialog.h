#pragma once

#include <QDialog>
#include <QString>
#include <QThreadPool>
#include <vector>

#include "history/HistoryRecord.h"

class QLabel;
class QLineEdit;
class QStandardItemModel;
class QTableView;

// Service > Update history...: the service records in a table, newest first, a filter by serial
// number and "Export CSV..." (the CSV of orbizo3-cli history, of the records shown). The
// history is read on a thread of the dialog's own; the answer comes back queued and only the
// newest one is shown. Lives in the GUI thread; its destructor waits for a read under way.
class HistoryDialog : public QDialog {
    Q_OBJECT

public:
    // `historyFile` empty: no history is kept; the dialog says so.
    HistoryDialog(const QString& historyFile, QWidget* parent = nullptr);
    ~HistoryDialog() override;

    // Reads again, only the records of `serialNumber` (empty: every table).
    void setSerialFilter(const QString& serialNumber);
    // Writes the records shown as CSV to `path`; false (with a message box) when it cannot.
    bool exportCsv(const QString& path);

    QTableView* view() const { return table; }
    // True once the newest read has been shown.
    bool loaded() const { return shownRequest == request; }

private:
    void load();
    void showRecords(const std::vector<Korvane::DeviceDriver::OrbiZo::History::HistoryRecord>& records,
              const QStringList& warnings);
    void askForCsvFile();

    QString historyFile;
    QString serialFilter;
    QLineEdit* filter;
    QTableView* table;
    QStandardItemModel* model;
    QLabel* status;
    std::vector<Korvane::DeviceDriver::OrbiZo::History::HistoryRecord> shown;
    unsigned request = 0;  // the newest read asked for
    unsigned shownRequest = 0;
    QThreadPool reader;
};

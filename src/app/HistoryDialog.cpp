#include "app/HistoryDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "utilities/SanitizerHandOver.h"

using Korvane::DeviceDriver::OrbiZo::History::HistoryCsv;
using Korvane::DeviceDriver::OrbiZo::History::HistoryReader;
using Korvane::DeviceDriver::OrbiZo::History::HistoryRecord;
using Korvane::Utilities::SanitizerHandOver;

HistoryDialog::HistoryDialog(const QString& historyFile, QWidget* parent)
    : QDialog(parent),
      historyFile(historyFile),
      filter(new QLineEdit(this)),
      table(new QTableView(this)),
      model(new QStandardItemModel(0, 8, this)),
      status(new QLabel(this)) {
    setWindowTitle(tr("Update history"));
    reader.setMaxThreadCount(1);
    SanitizerHandOver::watchDeliveries();  // the reader's answers come back queued
    model->setHorizontalHeaderLabels({tr("Started (UTC)"), tr("Kind"), tr("Serial number"),
                                      tr("Before"), tr("After"), tr("Outcome"), tr("Firmware"),
                                      tr("Duration")});
    table->setModel(model);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    filter->setPlaceholderText(tr("Serial number"));
    filter->setClearButtonEnabled(true);
    status->setTextFormat(Qt::PlainText);
    status->setWordWrap(true);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(tr("Filter by serial number:"), this));
    filterRow->addWidget(filter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* exportButton =
        buttons->addButton(tr("Export CSV..."), QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(table);
    layout->addWidget(status);
    layout->addWidget(buttons);
    resize(820, 420);

    connect(filter, &QLineEdit::textChanged, this,
            [this](const QString& text) { setSerialFilter(text.trimmed()); });
    connect(exportButton, &QPushButton::clicked, this, [this] { askForCsvFile(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    load();
}

HistoryDialog::~HistoryDialog() {
    reader.waitForDone();
}

void HistoryDialog::setSerialFilter(const QString& serialNumber) {
    serialFilter = serialNumber;
    load();
}

void HistoryDialog::load() {
    const unsigned asked = ++request;
    if (historyFile.isEmpty()) {
        showRecords({}, {tr("No update history is kept (--no-history).")});
        shownRequest = asked;
        return;
    }
    const QString file = historyFile;
    const QString serial = serialFilter;
    // The destructor waits for this job, so `this` outlives it; a queued call to a deleted
    // object is dropped by Qt. Both ways are hand-overs for the thread sanitizer.
    SanitizerHandOver::Sending toReader;
    reader.start([this, file, serial, asked] {
        SanitizerHandOver::received();
        SanitizerHandOver::Sending toWindow(SanitizerHandOver::later);  // outlives `read`
        HistoryReader::Result read = HistoryReader::read(file, serial, 0);
        toWindow.begin();
        QMetaObject::invokeMethod(
            this,
            [this, read, asked] {
                if (asked != request) return;
                showRecords(read.records, read.warnings);
                shownRequest = asked;
            },
            Qt::QueuedConnection);
    });
}

void HistoryDialog::showRecords(const std::vector<HistoryRecord>& records,
                                const QStringList& warnings) {
    shown = records;
    model->setRowCount(0);
    for (const HistoryRecord& record : records) {
        const QString firmware =
            record.firmware.embedded
                ? tr("embedded %1").arg(HistoryRecord::versionText(record.firmware.embeddedVersion))
                : record.firmware.fileName;
        const QString duration = record.durationMs < 0
                                     ? QStringLiteral("-")
                                     : QString::number(record.durationMs / 1000.0, 'f', 1) + " s";
        QList<QStandardItem*> row;
        for (const QString& cell : {record.started.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                    HistoryRecord::text(record.kind), record.serialNumber,
                                    HistoryRecord::versionText(record.versionBefore),
                                    HistoryRecord::versionText(record.versionAfter),
                                    HistoryRecord::text(record.outcome), firmware, duration})
            row << new QStandardItem(cell);
        model->appendRow(row);
    }
    table->resizeColumnsToContents();
    QStringList lines = warnings;
    if (records.empty() && warnings.isEmpty()) lines << tr("No update recorded.");
    status->setText(lines.join('\n'));
}

bool HistoryDialog::exportCsv(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(HistoryCsv::document(shown).toUtf8()) >= 0 && file.flush())
        return true;
    QMessageBox::warning(this, tr("Export CSV..."),
                         tr("Cannot write %1: %2").arg(path, file.errorString()));
    return false;
}

void HistoryDialog::askForCsvFile() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export CSV..."), QStringLiteral("history.csv"), tr("CSV files (*.csv)"));
    if (!path.isEmpty()) exportCsv(path);
}

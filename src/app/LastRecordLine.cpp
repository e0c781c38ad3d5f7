#include "app/LastRecordLine.h"

#include <QMetaObject>

#include "history/HistoryReader.h"
#include "utilities/SanitizerHandOver.h"

using Korvane::DeviceDriver::OrbiZo::History::HistoryReader;
using Korvane::DeviceDriver::OrbiZo::History::HistoryRecord;
using Korvane::Utilities::SanitizerHandOver;

LastRecordLine::LastRecordLine(const QString& historyFile, QWidget* parent)
    : QLabel(parent), historyFile(historyFile) {
    // Serial numbers and file names are the tables' and the user's text, never markup.
    setTextFormat(Qt::PlainText);
    reader.setMaxThreadCount(1);
    SanitizerHandOver::watchDeliveries();  // the reader's answers come back queued
}

LastRecordLine::~LastRecordLine() {
    reader.waitForDone();
}

void LastRecordLine::showTable(const QString& serialNumber) {
    const unsigned asked = ++request;
    if (historyFile.isEmpty() || serialNumber.isEmpty()) {
        clear();
        return;
    }
    const QString file = historyFile;
    // The destructor waits for this job, so `this` outlives it; a queued call to a deleted
    // object is dropped by Qt. Both ways are hand-overs for the thread sanitizer.
    SanitizerHandOver::Sending toReader;
    reader.start([this, file, serialNumber, asked] {
        SanitizerHandOver::received();
        SanitizerHandOver::Sending toWindow(SanitizerHandOver::later);  // outlives `line`
        const HistoryReader::Result read = HistoryReader::read(file, serialNumber, 1);
        const QString line = read.records.empty() ? tr("No update of this table recorded yet.")
                                                  : describe(read.records.front());
        toWindow.begin();
        QMetaObject::invokeMethod(
            this,
            [this, line, asked] {
                if (asked == request) setText(line);
            },
            Qt::QueuedConnection);
    });
}

void LastRecordLine::clearTable() {
    ++request;
    clear();
}

QString LastRecordLine::describe(const HistoryRecord& record) {
    const QString firmware =
        record.firmware.embedded
            ? tr("embedded %1").arg(HistoryRecord::versionText(record.firmware.embeddedVersion))
            : record.firmware.fileName;
    return tr("Last record: %1 UTC, %2 %3 -> %4, %5 (%6)")
        .arg(record.started.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
             HistoryRecord::text(record.kind), HistoryRecord::versionText(record.versionBefore),
             HistoryRecord::versionText(record.versionAfter), HistoryRecord::text(record.outcome),
             firmware);
}

#include <QFile>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "WindowTest.h"
#include "app/HistoryDialog.h"
#include "app/LastRecordLine.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "history/HistoryRecorder.h"

// The history dialog and the main window's last-record line over a history of three records.
namespace {

using Korvane::DeviceDriver::OrbiZo::History::HistoryCsv;
using Korvane::DeviceDriver::OrbiZo::History::HistoryReader;
using Korvane::DeviceDriver::OrbiZo::History::HistoryRecord;
using Korvane::DeviceDriver::OrbiZo::History::HistoryRecorder;

class HistoryWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        history = folder.filePath("history.sqlite3");
        add("OZ3T000040", HistoryRecord::Outcome::Failed);
        add("OZ3T000041", HistoryRecord::Outcome::Succeeded);
        add("OZ3T000040", HistoryRecord::Outcome::Succeeded);
    }

    void add(const QString& serial, HistoryRecord::Outcome outcome) {
        HistoryRecord record;
        record.programVersion = "1.0.80";
        record.serialNumber = serial;
        record.versionBefore = 0x0107;
        record.firmware.embeddedVersion = 0x0109;
        HistoryRecorder recorder(history);
        recorder.begin(record);
        recorder.finish(outcome, outcome == HistoryRecord::Outcome::Succeeded ? 0x0109 : 0);
    }

    static QStringList column(const HistoryDialog& dialog, int column) {
        QStringList cells;
        const QAbstractItemModel* model = dialog.view()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            cells << model->index(row, column).data().toString();
        return cells;
    }

    QTemporaryDir folder;
    QString history;
};

TEST_F(HistoryWindowTest, DialogFiltersAndExports) {
    HistoryDialog dialog(history);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.loaded(); }, kDeadlineMs));
    EXPECT_EQ(column(dialog, 2), (QStringList{"OZ3T000040", "OZ3T000041", "OZ3T000040"}));
    EXPECT_EQ(column(dialog, 5), (QStringList{"succeeded", "succeeded", "failed"}));

    dialog.setSerialFilter("OZ3T000040");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.loaded(); }, kDeadlineMs));
    EXPECT_EQ(column(dialog, 5), (QStringList{"succeeded", "failed"}));

    const QString csv = folder.filePath("out.csv");
    ASSERT_TRUE(dialog.exportCsv(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              HistoryCsv::document(HistoryReader::read(history, "OZ3T000040", 0).records));
}

TEST_F(HistoryWindowTest, LastRecordOfTheSelectedTable) {
    plugTable("OZ3T000040");
    openWindow(true, history);
    ASSERT_TRUE(waitForTable("OZ3T000040"));
    ASSERT_NE(action("Update &history..."), nullptr);
    LastRecordLine* line = window->findChild<LastRecordLine*>();
    ASSERT_NE(line, nullptr);
    const HistoryRecord last = HistoryReader::read(history, "OZ3T000040", 1).records.at(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line->text().isEmpty(); }, kDeadlineMs));
    EXPECT_EQ(line->text(), LastRecordLine::describe(last));
    EXPECT_TRUE(line->text().contains(", update 1.07 -> 1.09, succeeded (embedded 1.09)"))
        << line->text().toStdString();
}

}  // namespace

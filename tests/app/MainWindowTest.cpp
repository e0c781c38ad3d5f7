#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include "WindowTest.h"
#include "simulator/Fault.h"

namespace {

using Korvane::Simulator::Fault;

const QString kConfirm1 = QStringLiteral("Close any Orbi application");
const QString kConfirm2 = QStringLiteral("Do you want to update this OrbiZo?");
const QString kConfirm3 = QStringLiteral(
    "Do not disconnect the instrument or power down your computer during the update procedure "
    "as failure to complete the procedure may render the instrument unusable");

// The colour of the overlay's centre inside a box icon: the overlay sits in the bottom-left
// corner of the 64 x 64 image.
QColor overlayCentre(const QPixmap& icon) {
    return icon.toImage().pixelColor(13, 64 - 13);
}
QColor imageCentre(const char* path) {
    return QImage(QString::fromLatin1(path)).pixelColor(13, 13);
}

TEST_F(WindowTest, ShowsTheTablePluggedInBeforeStartAndFollowsArrivalsAndDepartures) {
    auto first = plugTable("OZ3T000001");
    openWindow();
    ASSERT_TRUE(waitForTable("OZ3T000001"));
    EXPECT_EQ(QStringLiteral("1.07"), label("fwLabel")->text());
    EXPECT_TRUE(button("mPushButtonUpdate")->isEnabled());
    EXPECT_TRUE(action("&Update OrbiZo3 firmware")->isEnabled());

    // A second table does not take over; its departure changes nothing either.
    auto second = plugTable("OZ3T000002");
    second->unplug();
    first->unplug();
    ASSERT_TRUE(waitForTable("-"));
    EXPECT_EQ(QStringLiteral("-"), label("fwLabel")->text());
    EXPECT_FALSE(button("mPushButtonUpdate")->isEnabled());
    EXPECT_FALSE(action("&Update OrbiZo3 firmware")->isEnabled());

    second->plug();
    ASSERT_TRUE(waitForTable("OZ3T000002"));
    EXPECT_TRUE(button("mPushButtonUpdate")->isEnabled());
}

TEST_F(WindowTest, CancellingAnyConfirmationStartsNothing) {
    auto table = plugTable("OZ3T000003");
    openWindow();
    ASSERT_TRUE(waitForTable("OZ3T000003"));
    const std::uint64_t commandsBefore = table->commandCount();

    for (int cancelled = 0; cancelled < 3; ++cancelled) {
        SCOPED_TRACE(cancelled);
        std::deque<QMessageBox::StandardButton> answers(cancelled, QMessageBox::Ok);
        answers.push_back(QMessageBox::Cancel);
        MessageBoxAnswerer answerer(answers);
        button("mPushButtonUpdate")->click();

        ASSERT_EQ(static_cast<std::size_t>(cancelled + 1), answerer.boxes().size());
        const QString texts[] = {kConfirm1, kConfirm2, kConfirm3};
        for (int i = 0; i <= cancelled; ++i) {
            EXPECT_EQ(texts[i], answerer.boxes()[i].text);
            EXPECT_EQ(QMessageBox::Ok | QMessageBox::Cancel, answerer.boxes()[i].buttons);
            EXPECT_EQ(QMessageBox::Cancel, answerer.boxes()[i].defaultButton);
        }
        EXPECT_FALSE(controller()->isUpdateRunning());
        EXPECT_TRUE(button("mPushButtonUpdate")->isEnabled());
        EXPECT_TRUE(action("&Update OrbiZo3 firmware")->isEnabled());
        EXPECT_TRUE(action("E&xit")->isEnabled());
        EXPECT_TRUE(action("&About")->isEnabled());
    }
    // Whatever the finished threads sent is queued by now: deliver it, then look.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(signalLog->progress.empty());
    EXPECT_EQ(commandsBefore, table->commandCount()) << "the table was spoken to";
}

TEST_F(WindowTest, UpdatesTheEmbeddedFirmware) {
    auto table = plugTable("OZ3T000004");
    openWindow();
    ASSERT_TRUE(waitForTable("OZ3T000004"));

    MessageBoxAnswerer answerer({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
    button("mPushButtonUpdate")->click();
    EXPECT_FALSE(button("mPushButtonUpdate")->isEnabled());
    EXPECT_FALSE(action("E&xit")->isEnabled());
    ASSERT_TRUE(waitForUpdateEnd());
    ASSERT_TRUE(answerer.waitForBoxes(4));

    ASSERT_TRUE(signalLog->errors.empty()) << signalLog->errors[0].join(" | ").toStdString();
    EXPECT_EQ(std::vector<bool>{false}, signalLog->successes);
    EXPECT_EQ(0x0109, table->firmwareVersion());

    // 5, 15, one value per sector index (nothing is written before sector 4), then 90.
    const std::vector<int>& progress = signalLog->progress;
    ASSERT_EQ(18u, progress.size());
    EXPECT_EQ(5, progress[0]);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(15, progress[i]) << i;
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_LT(progress[16], 90);
    EXPECT_EQ(90, progress[17]);

    EXPECT_EQ(kConfirm3, answerer.boxes()[2].text);
    EXPECT_EQ(overlayCentre(answerer.boxes()[2].icon),
              imageCentre(":/Resources/FWIconWarning.png"));
    const MessageBoxAnswerer::Box& success = answerer.boxes()[3];
    EXPECT_EQ(QStringLiteral("Update successful"), success.text);
    EXPECT_EQ(QStringLiteral("Successfully updated firmware."), success.informativeText);
    EXPECT_EQ(QMessageBox::Ok, success.defaultButton);
    EXPECT_EQ(QSize(64, 64), success.icon.size());
    EXPECT_EQ(overlayCentre(success.icon), imageCentre(":/Resources/FWIconPass.png"));
    EXPECT_GE(success.minimumWidth, 366);
    EXPECT_TRUE(success.windowModal);

    EXPECT_EQ(QStringLiteral("1.09"), label("fwLabel")->text());
    EXPECT_EQ(1, countInLog(QStringLiteral("color:#008000")));
    EXPECT_TRUE(log()->toPlainText().contains(
        QStringLiteral("Start update OrbiZo3 with serial number OZ3T000004")));
    // The table is still there, so Update is back, but the updated table waits for a replug.
    EXPECT_FALSE(button("mPushButtonUpdate")->isHidden());
    EXPECT_FALSE(button("mPushButtonUpdate")->isEnabled());
    EXPECT_FALSE(button("mPushButtonQuit")->isHidden());
    EXPECT_TRUE(button("mPushButtonQuit")->isDefault());
    EXPECT_EQ(0, progressBar()->value());
    EXPECT_FALSE(progressBar()->isEnabled());
    // The updated table is done until it is plugged in again.
    EXPECT_FALSE(action("&Update OrbiZo3 firmware")->isEnabled());
    EXPECT_TRUE(action("E&xit")->isEnabled());
}

TEST_F(WindowTest, DeviceFaultEndsInOneRedLineAndTheErrorBox) {
    auto table = plugTable("OZ3T000005");
    openWindow();
    ASSERT_TRUE(waitForTable("OZ3T000005"));
    table->inject(Fault::deviceError("u2", 7));  // erase: sector locked

    MessageBoxAnswerer answerer({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
    button("mPushButtonUpdate")->click();
    ASSERT_TRUE(waitForUpdateEnd());
    ASSERT_TRUE(answerer.waitForBoxes(4));
    // Whatever the finished threads sent is queued by now: deliver it, then look.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    ASSERT_EQ(1u, signalLog->errors.size());
    EXPECT_TRUE(signalLog->successes.empty());
    EXPECT_FALSE(signalLog->errors[0][2].isEmpty()) << "the device's reason is kept";
    ASSERT_EQ(4u, answerer.boxes().size());
    const MessageBoxAnswerer::Box& error = answerer.boxes()[3];
    EXPECT_EQ(QStringLiteral("Firmware update failed"), error.text);
    EXPECT_EQ(overlayCentre(error.icon), imageCentre(":/Resources/FWIconFail.png"));
    EXPECT_EQ(1, countInLog(QStringLiteral("color:#ff0000")));
    EXPECT_EQ(1, log()->toPlainText().count(QStringLiteral("Firmware update failed")));
    EXPECT_TRUE(log()->toPlainText().contains(QLatin1Char('[') + signalLog->errors[0][2] +
                                              QLatin1Char(']')));
    EXPECT_FALSE(button("mPushButtonQuit")->isHidden());
    EXPECT_FALSE(progressBar()->isEnabled());

    // The table is still there: the next update can start from the button, with a live bar.
    ASSERT_FALSE(button("mPushButtonUpdate")->isHidden());
    ASSERT_TRUE(button("mPushButtonUpdate")->isEnabled());
    EXPECT_TRUE(button("mPushButtonUpdate")->isDefault());
    EXPECT_FALSE(button("mPushButtonQuit")->isDefault());
    signalLog->progress.clear();
    button("mPushButtonUpdate")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !signalLog->progress.empty(); }, kDeadlineMs));
    EXPECT_TRUE(progressBar()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !signalLog->successes.empty(); }, kDeadlineMs));
    EXPECT_EQ(1u, signalLog->errors.size());
}

TEST_F(WindowTest, RefusesToCloseWhileUpdating) {
    plugTable("OZ3T000006");
    openWindow();
    ASSERT_TRUE(waitForTable("OZ3T000006"));

    MessageBoxAnswerer answerer({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
    button("mPushButtonUpdate")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !signalLog->progress.empty(); }, kDeadlineMs));
    ASSERT_TRUE(controller()->isUpdateRunning());
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(4u, answerer.boxes().size());
    EXPECT_EQ(QStringLiteral("Update in progress"), answerer.boxes()[3].text);
    EXPECT_EQ(QStringLiteral("Wait until download has been completed."),
              answerer.boxes()[3].informativeText);
    EXPECT_EQ(QMessageBox::NoButton, answerer.boxes()[3].defaultButton);

    ASSERT_TRUE(waitForUpdateEnd());
    ASSERT_TRUE(answerer.waitForBoxes(5));
    EXPECT_TRUE(window->close());
}

TEST_F(WindowTest, OnlyShiftAltPressOnTheImageTogglesTheCustomFirmwareChoice) {
    openWindow();
    QLabel* image = label("mImageLabel");
    QCheckBox* custom = widget<QCheckBox>("customFWcheckBox");
    ASSERT_TRUE(custom->isHidden());

    const struct {
        Qt::KeyboardModifiers modifiers;
        bool hiddenAfter;
    } presses[] = {
        {Qt::ShiftModifier | Qt::AltModifier, false},
        {Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier, false},
        {Qt::ShiftModifier | Qt::AltModifier, true},
        {Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier, true},
        {Qt::ShiftModifier, true},
        {Qt::AltModifier, true},
        {Qt::NoModifier, true},
    };
    for (const auto& press : presses) {
        SCOPED_TRACE(static_cast<int>(press.modifiers));
        QTest::mouseClick(image, Qt::LeftButton, press.modifiers, QPoint(10, 10));
        EXPECT_EQ(press.hiddenAfter, custom->isHidden());
    }
}

TEST_F(WindowTest, CustomFileThatCannotBeOpenedIsReported) {
    openWindow();
    MessageBoxAnswerer answerer;
    QMetaObject::invokeMethod(window.get(), "slotLaunchCustomFWUpdate",
                              Q_ARG(QString, QStringLiteral("/nonexistent/FW_ZO3_107.zof")));
    ASSERT_EQ(1u, answerer.boxes().size());
    EXPECT_EQ(QStringLiteral("Firmware update failed"), answerer.boxes()[0].text);
    EXPECT_EQ(QStringLiteral("Firmware file not found."), answerer.boxes()[0].informativeText);
    EXPECT_EQ(1, countInLog(QStringLiteral("color:#ff0000")));
    EXPECT_FALSE(log()->toPlainText().contains(QLatin1Char('[')));
    EXPECT_FALSE(controller()->isUpdateRunning());
}

TEST_F(WindowTest, CustomFirmwareComesFromTheFileDialog) {
    plugTable("OZ3T000007");
    openWindow();
    ASSERT_TRUE(waitForTable("OZ3T000007"));
    QTest::mouseClick(label("mImageLabel"), Qt::LeftButton, Qt::ShiftModifier | Qt::AltModifier,
                      QPoint(10, 10));
    widget<QCheckBox>("customFWcheckBox")->setChecked(true);

    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("FW_Custom.zof"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(embeddedFirmware());
    }

    for (bool choose : {false, true}) {
        SCOPED_TRACE(choose);
        MessageBoxAnswerer answerer({QMessageBox::Cancel});
        button("mPushButtonUpdate")->click();
        QFileDialog* dialog = window->findChild<QFileDialog*>();
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(QStringList{QStringLiteral("OrbiZo3 Firmware (*.zof)")}, dialog->nameFilters());
        EXPECT_EQ(QDir::homePath(), dialog->directory().absolutePath());
        EXPECT_TRUE(dialog->selectedFiles().value(0).endsWith(QStringLiteral("FW_ZO3_107.zof")));
        EXPECT_EQ(QFileDialog::ExistingFile, dialog->fileMode());
        EXPECT_TRUE(dialog->testOption(QFileDialog::ReadOnly));
        EXPECT_EQ(Qt::WindowModal, dialog->windowModality());
        EXPECT_FALSE(button("mPushButtonUpdate")->isEnabled());

        if (choose) {
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept");
            // The chosen file goes on to the confirmations (cancelled at the first).
            ASSERT_EQ(1u, answerer.boxes().size());
            EXPECT_EQ(kConfirm1, answerer.boxes()[0].text);
        } else {
            dialog->reject();
            EXPECT_TRUE(answerer.boxes().empty());
        }
        EXPECT_TRUE(button("mPushButtonUpdate")->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChild<QFileDialog*>() == nullptr; },
                                    kDeadlineMs));
    }
}

// Texts of tables and files are rendered literally everywhere: the log, the error box and the
// serial number label. The red line closes its bold and puts caption, text and detail on lines of
// their own.
TEST_F(WindowTest, ErrorTextsAreShownNotInterpreted) {
    plugTable("<u>OZ3T000030</u>");
    openWindow();
    ASSERT_TRUE(waitForTable("<u>OZ3T000030</u>"));
    EXPECT_EQ(Qt::PlainText, label("snLabel")->textFormat());
    EXPECT_EQ(Qt::PlainText, label("fwLabel")->textFormat());

    MessageBoxAnswerer answerer;
    QMetaObject::invokeMethod(window.get(), "slotShowError",
                              Q_ARG(QString, QStringLiteral("<i>Caption</i>")),
                              Q_ARG(QString, QStringLiteral("line :10 < 20 & <b>\nsecond")),
                              Q_ARG(QString, QStringLiteral("</font><font color=green>x")));
    QMetaObject::invokeMethod(window.get(), "slotSilentMessage",
                              Q_ARG(QString, QStringLiteral("next")));
    const QString shown = log()->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral(
        "<i>Caption</i>:\nline :10 < 20 & <b>\nsecond\n[</font><font color=green>x]\nnext")))
        << shown.toStdString();
    EXPECT_EQ(0, countInLog(QStringLiteral("color:#008000")));
    const QTextCursor next = log()->document()->find(QStringLiteral("next"));
    ASSERT_FALSE(next.isNull());
    EXPECT_EQ(QFont::Normal, next.charFormat().fontWeight()) << "the bold was closed";

    ASSERT_EQ(1u, answerer.boxes().size());
    EXPECT_EQ(QStringLiteral("<i>Caption</i>"), answerer.boxes()[0].text);
    EXPECT_EQ(QStringLiteral("line :10 < 20 & <b>\nsecond"), answerer.boxes()[0].informativeText);
    EXPECT_TRUE(answerer.boxes()[0].literal);
}

// Settings that choose simulated tables: the window says so in its title and in the first line
// of its log.
TEST_F(WindowTest, SaysWhenTheTablesAreSimulated) {
    for (const bool simulated : {true, false}) {
        SCOPED_TRACE(simulated);
        openWindow(simulated);
        EXPECT_EQ(simulated, window->windowTitle().endsWith(QStringLiteral(" (simulated tables)")))
            << window->windowTitle().toStdString();
        EXPECT_TRUE(
            window->windowTitle().startsWith(QStringLiteral("OrbiZo3 Firmware Updater 1.09")));
        const QString firstLine = log()->toPlainText().section(QLatin1Char('\n'), 0, 0);
        EXPECT_EQ(simulated, firstLine.startsWith(QStringLiteral("Simulated tables")))
            << firstLine.toStdString();
        signalLog.reset();
        window.reset();
    }
}

TEST_F(WindowTest, MenusAndAboutBox) {
    openWindow();
    const struct {
        const char* menu;
        QStringList entries;
    } menus[] = {{"&File", {"E&xit"}},
                 {"&Service", {"&Update OrbiZo3 firmware", "Update &history..."}},
                 {"&Help", {"&About"}}};
    const QList<QAction*> bar = window->menuBar()->actions();
    ASSERT_EQ(3, bar.size());
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(menus[i].menu);
        EXPECT_EQ(QString::fromLatin1(menus[i].menu), bar[i]->text());
        ASSERT_NE(nullptr, bar[i]->menu());
        QStringList entries;
        for (const QAction* entry : bar[i]->menu()->actions()) {
            entries << entry->text();
            EXPECT_TRUE(entry->shortcut().isEmpty());
        }
        EXPECT_EQ(menus[i].entries, entries);
    }

    MessageBoxAnswerer answerer;
    action("&About")->trigger();
    ASSERT_EQ(1u, answerer.boxes().size());
    EXPECT_EQ(QStringLiteral("About OrbiZo3 Firmware Updater"), answerer.boxes()[0].title);
    const QStringList lines = answerer.boxes()[0].text.split(QLatin1Char('\n'));
    ASSERT_EQ(4, lines.size());
    EXPECT_EQ(QStringLiteral("OrbiZo3 Firmware Updater Version: 1.0.80 Build (0)"), lines[0]);
    EXPECT_EQ(QStringLiteral("Firmware Version: 1.09"), lines[1]);
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_TRUE(lines[3].contains(QStringLiteral("2005-"))) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("Korvane. All rights reserved.")));
}

TEST_F(WindowTest, ProgressAnimationStepsOnAndStartsOverAboveNinety) {
    openWindow();
    const struct { int before, after; } ticks[] = {{0, 1}, {15, 16}, {89, 90}, {90, 20}, {100, 20}};
    for (const auto& tick : ticks) {
        progressBar()->setValue(tick.before);
        QMetaObject::invokeMethod(window.get(), "slotUpdateProgressBar");
        EXPECT_EQ(tick.after, progressBar()->value()) << "from " << tick.before;
    }
}

// The selected table leaves during the update: the controller drops that departure while the
// worker runs and catches up on it when the worker ends, so the next table is taken.
TEST_F(WindowTest, TableLeavingDuringTheUpdateIsForgottenAfterIt) {
    auto table = plugTable("OZ3T000008");
    openWindow();
    ASSERT_TRUE(waitForTable("OZ3T000008"));

    MessageBoxAnswerer answerer({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
    button("mPushButtonUpdate")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !signalLog->progress.empty(); }, kDeadlineMs));
    table->unplug();
    ASSERT_TRUE(waitForUpdateEnd());
    EXPECT_EQ(1u, signalLog->errors.size());
    ASSERT_TRUE(waitForTable("-"));
    EXPECT_EQ(QStringLiteral("-"), label("fwLabel")->text());

    plugTable("OZ3T000009");
    ASSERT_TRUE(waitForTable("OZ3T000009"));
    EXPECT_TRUE(action("&Update OrbiZo3 firmware")->isEnabled());
}

}  // namespace

// Photographs the updater over one simulated table: orbizo3-screenshots OUTPUT_DIRECTORY
//   orbizo3-fwupdater-window.png     the window once the table has been identified
//   orbizo3-fwupdater-success.png    the success box at the end of an update of the embedded
//                                    firmware (the confirmations are answered with Ok)
//   orbizo3-fwupdater-updated.png    the window after the update, with the table's last record
//   orbizo3-fwupdater-history.png    Service > Update history... after that update
//   orbizo3-fwupdater-error.png      an error box whose text, as a table could send it, holds
//                                    markup: it is shown literally
//   orbizo3-fwupdater-window-de.png  the window in German
// Run it on a display (tools/screenshots/take-screenshots.sh uses Xvfb).
#include <cstdlib>
#include <iostream>
#include <memory>

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include "app/HistoryDialog.h"
#include "app/LastRecordLine.h"
#include "app/MainWindow.h"
#include "app/UpdaterApplication.h"
#include "simulator/SimulatorEnvironment.h"

namespace {

// Deadline for the whole run; nothing here takes more than a few seconds.
constexpr int kDeadlineMs = 60000;

bool save(QWidget* widget, const QDir& out, const char* name) {
    const QString path = out.filePath(QString::fromLatin1(name));
    if (widget->grab().save(path, "PNG")) return true;
    std::cerr << "cannot write " << path.toStdString() << "\n";
    return false;
}

QMessageBox* visibleBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible()) return box;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    // One simulated table unless the environment asks for another number.
    auto settings =
        Korvane::Utilities::RunSettings::fromEnvironment(QProcessEnvironment::systemEnvironment());
    if (!settings.simulated()) settings.useSimulatedTables(1);
    // A history of its own: the pictures show this run's update, and the user's file is left alone.
    const QTemporaryDir historyFolder;
    settings.setHistoryFile(historyFolder.filePath(QStringLiteral("history.sqlite3")));
    UpdaterApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " OUTPUT_DIRECTORY\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    UpdaterApplication::setIdentity(application);
    application.setQuitOnLastWindowClosed(false);
    const auto tables = Korvane::Simulator::SimulatorEnvironment::start(settings);

    auto window = std::make_unique<MainWindow>(nullptr, settings);
    window->show();
    QTranslator german;
    const auto tableShown = [&] {
        return window->findChild<QLabel*>(QStringLiteral("snLabel"))->text() != QLatin1String("-");
    };
    bool ok = true;
    std::unique_ptr<HistoryDialog> history;
    enum class Step {
        WaitForTable,
        Updating,
        Updated,
        History,
        ErrorBox,
        German,
        WaitForGermanTable
    };
    Step step = Step::WaitForTable;

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QMessageBox* box = visibleBox()) {
            if (box->text() == QLatin1String("Update successful")) {
                ok = save(box, out, "orbizo3-fwupdater-success.png") && ok;
                step = Step::Updated;
            } else if (step == Step::ErrorBox) {
                ok = save(box, out, "orbizo3-fwupdater-error.png") && ok;
                step = Step::German;
            }
            if (QAbstractButton* button = box->button(QMessageBox::Ok)) button->click();
            return;
        }
        switch (step) {
            case Step::WaitForTable:
                if (!tableShown()) return;
                ok = save(window.get(), out, "orbizo3-fwupdater-window.png") && ok;
                step = Step::Updating;
                QMetaObject::invokeMethod(window.get(), "slotExecuteFirmwareDownload",
                                          Qt::QueuedConnection);
                return;
            case Step::Updating:
                return;
            case Step::Updated:
                if (!window->findChild<LastRecordLine*>()->text().contains(
                        QLatin1String("succeeded")))
                    return;
                ok = save(window.get(), out, "orbizo3-fwupdater-updated.png") && ok;
                history = std::make_unique<HistoryDialog>(settings.historyFile(), window.get());
                history->show();
                step = Step::History;
                return;
            case Step::History:
                if (!history->loaded()) return;
                ok = save(history.get(), out, "orbizo3-fwupdater-history.png") && ok;
                history.reset();
                step = Step::ErrorBox;
                QMetaObject::invokeMethod(
                    window.get(), "slotShowError", Qt::QueuedConnection, Q_ARG(QString, QString()),
                    Q_ARG(QString, QStringLiteral("The table answered <b>E7</b> for sector "
                                                  "<font color=red>5</font>.")),
                    Q_ARG(QString, QString()));
                return;
            case Step::ErrorBox:
                return;
            case Step::German:
                // The error box has returned: the window may go.
                window.reset();
                ok = UpdaterApplication::installTranslation(application, german,
                                                            QStringLiteral("de_DE")) &&
                     ok;
                window = std::make_unique<MainWindow>(nullptr, settings);
                window->show();
                step = Step::WaitForGermanTable;
                return;
            case Step::WaitForGermanTable:
                if (!tableShown()) return;
                ok = save(window.get(), out, "orbizo3-fwupdater-window-de.png") && ok;
                application.exit(0);
                return;
        }
    });
    poll.start(200);
    QTimer::singleShot(kDeadlineMs, [&] {
        std::cerr << "no table or no update within the deadline\n";
        ok = false;
        application.exit(1);
    });
    application.exec();
    return ok ? 0 : 1;
}

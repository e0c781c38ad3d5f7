// Photographs the updater over one simulated table: orbizo3-screenshots OUTPUT_DIRECTORY
//   orbizo3-fwupdater-window.png   the window once the table has been identified
//   orbizo3-fwupdater-success.png  the success box at the end of an update of the embedded
//                                  firmware (the confirmations are answered with Ok)
//   orbizo3-fwupdater-updated.png  the window after the update
// Run it on a display (tools/screenshots/take-screenshots.sh uses Xvfb).
#include <cstdlib>
#include <iostream>

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

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

}  // namespace

int main(int argc, char** argv) {
    setenv("ORBIZO3_SIMULATOR", "1", 0);
    UpdaterApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " OUTPUT_DIRECTORY\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    UpdaterApplication::setIdentity(application);
    const auto tables = Korvane::Simulator::SimulatorEnvironment::plugTablesFromEnvironment();

    MainWindow window;
    window.show();
    auto* serial = window.findChild<QLabel*>(QStringLiteral("snLabel"));
    bool ok = true;
    enum class Step { WaitForTable, Updating, Done } step = Step::WaitForTable;

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (step == Step::WaitForTable && serial->text() != QLatin1String("-")) {
            ok = save(&window, out, "orbizo3-fwupdater-window.png") && ok;
            step = Step::Updating;
            QMetaObject::invokeMethod(&window, "slotExecuteFirmwareDownload", Qt::QueuedConnection);
            return;
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible()) continue;
            const bool success = box->text() == QLatin1String("Update successful");
            if (success) ok = save(box, out, "orbizo3-fwupdater-success.png") && ok;
            box->button(QMessageBox::Ok)->click();
            if (success) step = Step::Done;
            return;
        }
        if (step == Step::Done) {
            ok = save(&window, out, "orbizo3-fwupdater-updated.png") && ok;
            application.exit(0);
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

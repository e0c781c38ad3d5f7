#include "app/UpdaterApplication.h"

#include <utility>

#include <QLocale>
#include <QTranslator>

#include "app/AppVersion.h"
#include "app/MainWindow.h"
#include "firmware/UserFailure.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::UserFailure;

UpdaterApplication::UpdaterApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void UpdaterApplication::setIdentity(QCoreApplication& application) {
    application.setOrganizationName(QStringLiteral("Korvane"));
    application.setOrganizationDomain(QStringLiteral("korvane.com"));
    application.setApplicationName(QStringLiteral("Skelda2FWUpdater"));
    // What the service records name as the program's version.
    application.setApplicationVersion(AppVersion::applicationVersionText());
}

bool UpdaterApplication::installTranslation(QCoreApplication& application, QTranslator& translator,
                                            const QString& localeName) {
    if (!translator.load(QStringLiteral("OrbiZo3fwupdater_") + localeName,
                         QStringLiteral(":/Resources/Translations")))
        return false;
    return application.installTranslator(&translator);
}

int UpdaterApplication::run(const Korvane::Utilities::RunSettings& settings) {
    setIdentity(*this);
    // The installed desktop entry's id, so that the desktop matches the window to its entry
    // and icon.
    setDesktopFileName(QStringLiteral("com.korvane.OrbiZo3FWUpdater"));
    try {
        return showWindow(settings);
    } catch (...) {
        const UserFailure failure = UserFailure::fromCurrentException();
        const bool standard = failure.source == UserFailure::Source::Device ||
                              failure.source == UserFailure::Source::Standard;
        MainWindow::showWarningBox(nullptr, QObject::tr("Application unexpectly terminated"),
                                   standard ? failure.reason : QObject::tr("Unkown Error occured"));
    }
    return 1;
}

bool UpdaterApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (!escaped) escaped = std::current_exception();
        exit(1);
        return false;
    }
}

// The window and the translator are gone by the time this returns or throws, so the warning
// box stands alone.
int UpdaterApplication::showWindow(const Korvane::Utilities::RunSettings& settings) {
    QTranslator translator;
    installTranslation(*this, translator, QLocale::system().name());
    MainWindow window(nullptr, settings);
    window.show();
    QObject::connect(this, SIGNAL(lastWindowClosed()), this, SLOT(quit()));
    const int code = exec();
    // After an escaped exception the window is still open. Closing it must not end the event
    // loop that the warning box is about to run.
    QObject::disconnect(this, SIGNAL(lastWindowClosed()), this, SLOT(quit()));
    setQuitOnLastWindowClosed(false);
    if (escaped) std::rethrow_exception(std::exchange(escaped, nullptr));
    return code;
}

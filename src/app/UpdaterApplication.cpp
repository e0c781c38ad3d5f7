#include "app/UpdaterApplication.h"

#include <exception>

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "app/MainWindow.h"

void UpdaterApplication::setIdentity(QCoreApplication& application) {
    application.setOrganizationName(QStringLiteral("Korvane"));
    application.setOrganizationDomain(QStringLiteral("korvane.com"));
    application.setApplicationName(QStringLiteral("Skelda2FWUpdater"));
}

bool UpdaterApplication::installTranslation(QCoreApplication& application, QTranslator& translator,
                                            const QString& localeName) {
    if (!translator.load(QStringLiteral("OrbiZo3fwupdater_") + localeName,
                         QStringLiteral(":/Resources/Translations")))
        return false;
    return application.installTranslator(&translator);
}

int UpdaterApplication::run(QApplication& application) {
    setIdentity(application);
    try {
        return showWindow(application);
    } catch (const std::exception& e) {
        MainWindow::showWarningBox(nullptr, QObject::tr("Application unexpectly terminated"),
                                   QString::fromLocal8Bit(e.what()));
    } catch (...) {
        MainWindow::showWarningBox(nullptr, QObject::tr("Application unexpectly terminated"),
                                   QObject::tr("Unkown Error occured"));
    }
    return 1;
}

// The window and the translator are gone by the time this returns, also when an exception
// leaves the event loop, so the warning box stands alone.
int UpdaterApplication::showWindow(QApplication& application) {
    QTranslator translator;
    installTranslation(application, translator, QLocale::system().name());
    MainWindow window;
    window.show();
    QObject::connect(&application, SIGNAL(lastWindowClosed()), &application, SLOT(quit()));
    return application.exec();
}

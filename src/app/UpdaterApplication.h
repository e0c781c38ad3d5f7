#pragma once

#include <exception>

#include <QApplication>
#include <QString>

#include "utilities/RunSettings.h"

class QTranslator;

// The program's application object: identity, translation, the main window and the event
// loop, and the last line of defence against an exception that escapes an event handler.
//
// Such an exception is caught where Qt delivers the event (notify), never unwound through the
// event dispatcher, which neither expects nor survives it. The event loop is ended instead and
// run() rethrows the exception once the window is gone, so that it ends the program with the
// warning box and exit code 1.
class UpdaterApplication : public QApplication {
public:
    UpdaterApplication(int& argc, char** argv);

    // Organisation and application names on the application object.
    static void setIdentity(QCoreApplication& application);

    // Loads "OrbiZo3fwupdater_<localeName>" from the compiled-in translations, shortening the
    // name at its last '_' until a file is found (de_AT finds the German one), and installs it
    // on the application only when it loaded. Returns whether it was installed.
    static bool installTranslation(QCoreApplication& application, QTranslator& translator,
                                   const QString& localeName);

    // Sets the identity, translates for the system locale, shows the main window and runs the
    // event loop. Returns its exit code, or 1 after a warning box when an exception escaped.
    int run(const Korvane::Utilities::RunSettings& settings = Korvane::Utilities::RunSettings());

    bool notify(QObject* receiver, QEvent* event) override;

private:
    int showWindow(const Korvane::Utilities::RunSettings& settings);

    std::exception_ptr escaped;  // the first exception that left an event handler
};

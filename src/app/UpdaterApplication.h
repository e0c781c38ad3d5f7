#pragma once

#include <QString>

class QApplication;
class QCoreApplication;
class QTranslator;

// What the program does between creating its QApplication and leaving: identity, translation,
// the main window and the event loop, and the last line of defence against an exception that
// escapes the event loop.
class UpdaterApplication {
public:
    // Organisation and application names on the application object.
    static void setIdentity(QCoreApplication& application);

    // Loads "OrbiZo3fwupdater_<localeName>" from the compiled-in translations, shortening the
    // name at its last '_' until a file is found (de_AT finds the German one), and installs it
    // on the application only when it loaded. Returns whether it was installed.
    static bool installTranslation(QCoreApplication& application, QTranslator& translator,
                                   const QString& localeName);

    // Sets the identity, translates for the system locale, shows the main window and runs the
    // event loop. Returns its exit code, or 1 after a warning box when an exception escaped.
    static int run(QApplication& application);

private:
    static int showWindow(QApplication& application);
};

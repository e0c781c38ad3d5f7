#include <QCheckBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTranslator>

#include "GuiTest.h"
#include "app/MainWindow.h"
#include "app/UpdaterApplication.h"
#include "firmware/OrbiZo3FWUpdater.h"

namespace {

struct Texts {
    const char* checkBox;
    const char* updateButton;
    const char* fileMenu;
    const char* facade;
    const char* connection;
    const char* worker;
    const char* title;
    const char* failed;
};

const Texts kEnglish = {"Custom FW",
                        "Update",
                        "&File",
                        "No valid firmware (%1)",
                        "No OrbiZo3 connected",
                        "<br>Start update OrbiZo3 with serial number %1",
                        "OrbiZo3 Firmware Updater 1.09 (simulated tables)",
                        "Firmware update failed"};
const Texts kGerman = {"Eigene FW",
                       "Aktualisieren",
                       "&Datei",
                       "Keine gültige Firmware (%1)",
                       "Kein OrbiZo3 angeschlossen",
                       "<br>Aktualisierung des OrbiZo3 mit der Seriennummer %1 beginnt",
                       "OrbiZo3 Firmware Updater 1.09 (simulierte Tische)",
                       "Firmwareaktualisierung fehlgeschlagen"};

class TranslationTest : public GuiTest {};

TEST_F(TranslationTest, GermanLocalesTranslateOthersKeepTheSourceTexts) {
    const struct {
        const char* locale;
        bool installed;
        const Texts& texts;
    } cases[] = {
        {"de_DE", true, kGerman},   {"de_AT", true, kGerman},   {"de", true, kGerman},
        {"en_US", false, kEnglish}, {"fr_FR", false, kEnglish}, {"C", false, kEnglish},
    };
    // The English file has no entries: Qt refuses to load an empty translation, which leaves
    // the source texts, as intended.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        QTranslator translator;
        EXPECT_EQ(c.installed, UpdaterApplication::installTranslation(
                                   guiApplication(), translator, QString::fromLatin1(c.locale)));
        {
            Korvane::Utilities::RunSettings simulated;
            simulated.useSimulatedTables(0);
            MainWindow window(nullptr, simulated);
            EXPECT_EQ(QString::fromUtf8(c.texts.checkBox),
                      window.findChild<QCheckBox*>("customFWcheckBox")->text());
            EXPECT_EQ(QString::fromUtf8(c.texts.updateButton),
                      window.findChild<QPushButton*>("mPushButtonUpdate")->text());
            const QList<QAction*> menus = window.menuBar()->actions();
            ASSERT_EQ(3, menus.size());
            EXPECT_EQ(QString::fromUtf8(c.texts.fileMenu), menus[0]->text());
            EXPECT_EQ(QStringLiteral("&Help"), menus[2]->text());
            // A run on the simulated bus, as these tests are.
            EXPECT_EQ(QString::fromUtf8(c.texts.title), window.windowTitle());
        }
        // The facade's texts are looked up in the context of its class, namespace included.
        EXPECT_EQ(QString::fromUtf8(c.texts.facade),
                  Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater::tr(
                      "No valid firmware (%1)"));
        EXPECT_EQ(QString::fromUtf8(c.texts.connection),
                  QCoreApplication::translate("QObject", "No OrbiZo3 connected"));
        EXPECT_EQ(QString::fromUtf8(c.texts.worker),
                  QCoreApplication::translate("UpdaterThread",
                                              "<br>Start update OrbiZo3 with serial number %1",
                                              "%1 is Serial number"));
        EXPECT_EQ(
            QString::fromUtf8(c.texts.failed),
            QCoreApplication::translate("MainWindow", "Firmware update failed", "MsgBox title"));
        QCoreApplication::removeTranslator(&translator);
    }
}

}  // namespace

#include "GuiTest.h"

#include <cstdio>

#include <QFile>
#include <QThreadPool>

#include "platform/usbhost/simulated/SimulatedUsbBus.h"

UpdaterApplication& guiApplication() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static UpdaterApplication* application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // The offscreen platform reports every window size hint it cannot pass on.
        qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (message.contains(QLatin1String("propagateSizeHints"))) return;
                std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
            });
        auto* created = new UpdaterApplication(argc, argv);
        // Windows come and go between tests; the application must not quit on its own.
        created->setQuitOnLastWindowClosed(false);
        return created;
    }();
    return *application;
}

void GuiTest::SetUp() {
    guiApplication();
}

void GuiTest::TearDown() {
    QThreadPool::globalInstance()->waitForDone();
    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    tables.clear();
}

std::shared_ptr<Korvane::Simulator::SimulatedTable> GuiTest::plugTable(const std::string& serial) {
    auto table = Korvane::Simulator::SimulatedTable::create(serial);
    table->plug();
    tables.push_back(table);
    return table;
}

QByteArray GuiTest::embeddedFirmware() {
    QFile file(QStringLiteral(":/Resources/FW_Zo3.zof"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QMetaObject>

#include "app/MainWindow.h"
#include "app/OrbiZo3Notifier.h"
#include "app/UpdaterController.h"
#include "app/UpdaterThread.h"

namespace {

// Signals and slots are wired by their string signatures, so each class's own methods must
// appear exactly so, in this order, with these parameter names, all protected.
struct Method {
    QMetaMethod::MethodType type;
    const char* signature;
    QList<QByteArray> parameterNames;
};

void expectMethods(const QMetaObject& meta, const std::vector<Method>& expected) {
    SCOPED_TRACE(meta.className());
    ASSERT_EQ(static_cast<int>(expected.size()), meta.methodCount() - meta.methodOffset());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + static_cast<int>(i));
        SCOPED_TRACE(expected[i].signature);
        EXPECT_EQ(QByteArray(expected[i].signature), method.methodSignature());
        EXPECT_EQ(expected[i].type, method.methodType());
        EXPECT_EQ(expected[i].parameterNames, method.parameterNames());
        EXPECT_EQ(QMetaMethod::Protected, method.access());
    }
}

const auto Signal = QMetaMethod::Signal;
const auto Slot = QMetaMethod::Slot;

TEST(MetaObjectTest, UpdaterThread) {
    expectMethods(UpdaterThread::staticMetaObject,
                  {
                      {Signal, "SuccessfulUpdate(bool)", {"xRequiresReconnect"}},
                      {Signal, "Error(QString,QString,QString)", {"xCaption", "xText", "xWhat"}},
                      {Signal, "ProgressEvent(int)", {"xValue"}},
                      {Signal, "ProgessAnimate(bool)", {"xStart"}},
                      {Signal, "SilentMessage(QString)", {"xMsg"}},
                      {Slot, "slotProgressEvent(int,int)", {"xCurrentValue", "xTotalTime"}},
                  });
}

TEST(MetaObjectTest, OrbiZo3Notifier) {
    expectMethods(OrbiZo3Notifier::staticMetaObject,
                  {
                      {Signal, "OrbiZo3Arrival(QString)", {"xPath"}},
                      {Signal, "OrbiZo3Departure(QString)", {"xPath"}},
                  });
}

TEST(MetaObjectTest, UpdaterController) {
    expectMethods(
        UpdaterController::staticMetaObject,
        {
            {Signal, "DeviceArrival(QString,QString)", {"xSerialNumber", "xFirmwareVersion"}},
            {Signal, "DeviceDeparture()", {}},
            {Signal, "SilentMessage(QString)", {"xMsg"}},
            {Signal, "ShowError(QString,QString,QString)", {"xCaption", "xText", "xError"}},
            {Signal, "SuccessfulUpdate(bool)", {"xRequiresReconnect"}},
            {Signal, "ProgressEvent(int)", {"xValue"}},
            {Signal, "ProgessAnimate(bool)", {"xStart"}},
            {Slot, "slotOrbiZo3Arrival(QString)", {"xPath"}},
            {Slot, "slotOrbiZo3Departure(QString)", {"xPath"}},
            {Slot, "slotThreadError(QString,QString,QString)", {"xCaption", "xText", "xWhat"}},
            {Slot, "slotSuccessfulUpdate(bool)", {"xRequiresReconnect"}},
            {Slot, "slotProgressEvent(int)", {"xValue"}},
            {Slot, "slotProgessAnimate(bool)", {"xStart"}},
            {Slot, "slotSilentMessage(QString)", {"xMsg"}},
        });
}

TEST(MetaObjectTest, MainWindow) {
    expectMethods(
        MainWindow::staticMetaObject,
        {
            {Slot, "slotAbout()", {}},
            {Slot, "slotExit()", {}},
            {Slot, "slotDeviceArrival(QString,QString)", {"xSerialNumber", "xFirmwareVersion"}},
            {Slot, "slotDeviceDeparture()", {}},
            {Slot, "slotExecuteFirmwareDownload()", {}},
            {Slot, "slotProgessAnimate(bool)", {"xStart"}},
            {Slot, "slotUpdateProgressBar()", {}},
            {Slot, "slotSilentMessage(QString)", {"xMsg"}},
            {Slot, "slotShowError(QString,QString,QString)", {"xCaption", "xText", "xWhat"}},
            {Slot, "slotSuccessfulUpdate(bool)", {"xRequiresReconnect"}},
            {Slot, "slotLaunchCustomFWUpdate(QString)", {"xCustomFWPath"}},
            {Slot, "slotLaunchCustomFWUpdate(QString,bool)", {"xCustomFWPath", "xCustomFW"}},
            {Slot, "closeEvent(QCloseEvent*)", {"e"}},
            {Slot, "eventFilter(QObject*,QEvent*)", {"obj", "event"}},
        });
}

}  // namespace

#include "ControllerSignalLog.h"

ControllerSignalLog::ControllerSignalLog(QObject* controller) {
    connect(controller, SIGNAL(ProgressEvent(int)), this, SLOT(slotProgressEvent(int)));
    connect(controller, SIGNAL(ShowError(QString, QString, QString)), this,
            SLOT(slotShowError(QString, QString, QString)));
    connect(controller, SIGNAL(SuccessfulUpdate(bool)), this, SLOT(slotSuccessfulUpdate(bool)));
    connect(controller, SIGNAL(DeviceArrival(QString, QString)), this,
            SLOT(slotDeviceArrival(QString, QString)));
    connect(controller, SIGNAL(DeviceDeparture()), this, SLOT(slotDeviceDeparture()));
}

void ControllerSignalLog::slotProgressEvent(int xValue) {
    progress.push_back(xValue);
}

void ControllerSignalLog::slotShowError(const QString& xCaption, const QString& xText,
                                        const QString& xError) {
    errors.push_back({xCaption, xText, xError});
}

void ControllerSignalLog::slotSuccessfulUpdate(bool xRequiresReconnect) {
    successes.push_back(xRequiresReconnect);
}

void ControllerSignalLog::slotDeviceArrival(const QString& xSerialNumber,
                                            const QString& xFirmwareVersion) {
    arrivals.push_back({xSerialNumber, xFirmwareVersion});
}

void ControllerSignalLog::slotDeviceDeparture() {
    ++departures;
}

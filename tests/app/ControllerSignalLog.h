#pragma once

#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>

// Records an UpdaterController's signals in the GUI thread (auto connections: those emitted on
// the notifier's threads arrive queued), so tests read them without locks.
class ControllerSignalLog : public QObject {
    Q_OBJECT

public:
    explicit ControllerSignalLog(QObject* controller);

    std::vector<int> progress;
    std::vector<QStringList> errors;  // caption, text, detail
    std::vector<bool> successes;      // xRequiresReconnect of each
    std::vector<QStringList> arrivals;
    int departures = 0;

public slots:
    void slotProgressEvent(int xValue);
    void slotShowError(const QString& xCaption, const QString& xText, const QString& xError);
    void slotSuccessfulUpdate(bool xRequiresReconnect);
    void slotDeviceArrival(const QString& xSerialNumber, const QString& xFirmwareVersion);
    void slotDeviceDeparture();
};

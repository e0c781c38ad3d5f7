#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QRecursiveMutex;
class OrbiZo3FWUpdater;
class OrbiZo3Notifier;
class UpdaterThread;

// Everything between the main window and the table: reacts to arrivals and departures, answers
// the window's questions and runs one UpdaterThread per update, relaying the worker's signals.
//
// Threads: the object lives in the GUI thread, but the notifier's signals are connected
// directly, so slotOrbiZo3Arrival and slotOrbiZo3Departure (with the identification read) run
// on the notification thread or a pool thread. The recursive mutex serialises them against the
// GUI thread; it guards the worker pointer and every use of the facade from here. While a
// worker runs, arrivals and departures are ignored and no second update starts.
class UpdaterController : public QObject {
    Q_OBJECT

public:
    explicit UpdaterController(QObject* parent = nullptr);
    // Waits for a running worker, then releases the facade and the notifier.
    ~UpdaterController() override;

    // Looks once, in the background, for a table that was plugged in before start.
    void checkConnectedDevice();
    bool isUpdateRunning();
    // An update may start: none runs, a table is selected and it has not been updated yet.
    bool canUpdate();
    // The version read back after the last update, "-" while there is none.
    QString newFirmwareVersionText();
    // The firmware file of the next update; ignored while an update runs.
    void setFirmwareData(const QByteArray& xData);
    void startUpdate(bool customFirmware);
    // Expected length of an update in seconds, for the window's progress animation.
    double expectedDuration() const { return 50.0; }

protected:
    Q_SIGNAL void DeviceArrival(const QString& xSerialNumber, const QString& xFirmwareVersion);
    Q_SIGNAL void DeviceDeparture();
    Q_SIGNAL void SilentMessage(const QString& xMsg);
    Q_SIGNAL void ShowError(const QString& xCaption, const QString& xText, const QString& xError);
    Q_SIGNAL void SuccessfulUpdate(bool xRequiresReconnect);
    Q_SIGNAL void ProgressEvent(int xValue);
    Q_SIGNAL void ProgessAnimate(bool xStart);

protected slots:
    void slotOrbiZo3Arrival(const QString& xPath);
    void slotOrbiZo3Departure(const QString& xPath);
    void slotThreadError(const QString& xCaption, const QString& xText, const QString& xWhat);
    void slotSuccessfulUpdate(bool xRequiresReconnect);
    void slotProgressEvent(int xValue);
    void slotProgessAnimate(bool xStart);
    void slotSilentMessage(const QString& xMsg);

private:
    bool workerRunning() const;
    void identify(const QString& path);
    void workerFinished();

    QRecursiveMutex* lock;
    OrbiZo3Notifier* notifier;
    OrbiZo3FWUpdater* updater;
    UpdaterThread* worker = nullptr;
};

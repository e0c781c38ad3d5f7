#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>
#include <cstdint>

#include "firmware/DeviceInfo.h"
#include "utilities/RunSettings.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {
class OrbiZo3FWUpdater;
}
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

class QRecursiveMutex;
class QThreadPool;
class OrbiZo3Notifier;
class UpdaterThread;

// Everything between the main window and the table: reacts to arrivals and departures, answers
// the window's questions and runs one UpdaterThread per update, relaying the worker's signals.
//
// Threads: the object lives in the GUI thread, but the notifier's signals are connected
// directly, so slotOrbiZo3Arrival and slotOrbiZo3Departure (with the identification read) run
// on the notification thread or a pool thread. Two locks keep the window responsive:
// - lock, the device lock (recursive), serialises arrival and departure handling, held through
//   the whole identification. The GUI thread never takes it. A new worker takes it once before
//   it starts, so an identification still running finishes before the update opens the table.
// - stateLock, held only for a few assignments, guards the state the window asks about (the
//   selection, the version read back, whether an update runs) and every call into the facade
//   from here. Nothing is emitted while it is held.
// While an update runs, arrivals and departures are ignored (a departure of the selected table is
// remembered and applied when the update ends) and no second update starts.
class UpdaterController : public QObject {
    Q_OBJECT

public:
    // The facade and every connection the controller opens follow `settings`.
    explicit UpdaterController(
        QObject* parent = nullptr,
        const Korvane::Utilities::RunSettings& settings = Korvane::Utilities::RunSettings());
    // Waits for a running worker, then releases the facade and the notifier.
    ~UpdaterController() override;

    // Looks once, in the background, for a table that was plugged in before start.
    void checkConnectedDevice();
    // These never wait for USB: they read the state published under stateLock.
    bool isUpdateRunning();
    // An update may start: none runs, a table is selected, its identification is over and it has
    // not been updated yet.
    bool canUpdate();
    // A table is selected (identified or not) and no update runs.
    bool hasIdleTable();
    // The version read back after the last update, "-" while there is none.
    QString newFirmwareVersionText();
    // The firmware file of the next update; ignored while an update runs. fromFile: the path it
    // was read from, for the service record (empty for the embedded firmware).
    void setFirmwareData(const QByteArray& xData, const QString& fromFile = QString());
    void startUpdate(bool customFirmware);
    // The window's questions before an update were answered no: with a table selected, the
    // attempt is recorded as cancelled (the table as its identification read it), on a thread of
    // its own. A firmware file the download would refuse leaves no record, as in an update.
    void declineUpdate(bool customFirmware);
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

protected:
    // Reads serial number and version of the table at path, over a connection of its own, on
    // the arrival's thread. Virtual so that tests can make it fail in every way.
    virtual Korvane::DeviceDriver::OrbiZo::Firmware::DeviceInfo identify(const QString& path);

private:
    // Selects path unless an update runs or a table is selected already; true when it did.
    bool claimTable(const QString& path);
    // The worker's outcome has reached the GUI thread: the update is over for the window.
    void updateEnded();

    QRecursiveMutex* lock;
    OrbiZo3Notifier* notifier;
    Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater* updater;
    UpdaterThread* worker = nullptr;
    // Records declined updates, one at a time; the destructor waits for it.
    QThreadPool* declines;

    // Published state, guarded by stateLock.
    QMutex stateLock;
    QString selectedPath;
    // The selected table as its identification read it (empty / 0 until then).
    QString selectedSerial;
    std::uint16_t selectedVersion = 0;
    std::uint16_t readBackVersion = 0;
    bool identifying = false;
    bool updateRunning = false;
    bool selectedLeftDuringUpdate = false;
    // The next update's firmware as the service record describes it.
    QByteArray firmwareBytes;
    QString firmwareFile;
};

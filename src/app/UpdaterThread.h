#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>
#include <optional>

#include "firmware/EmbeddedFirmwareVersion.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {
class OrbiZo3FWUpdater;
}
namespace History {
class ServiceRecord;
}
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

// Runs one firmware update off the GUI thread: identification, download through the facade and
// read-back of the new version. The object lives in the GUI thread (its parent is the
// controller); run() executes on the new thread, so every signal reaches the controller queued.
// Each update ends with exactly one SuccessfulUpdate or one Error, never both.
class UpdaterThread : public QThread {
    Q_OBJECT

public:
    // updater is not owned and must outlive the thread. customFirmware: the firmware came from a
    // file the user chose rather than the embedded image. firmwareFile and firmwareBytes describe
    // it for the service record (the file's path, empty for the embedded image; its bytes).
    UpdaterThread(QObject* parent,
                  Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater* updater,
                  bool customFirmware, const QString& firmwareFile = QString(),
                  const QByteArray& firmwareBytes = QByteArray());
    ~UpdaterThread() override;

    // Version word the application states for its embedded firmware (1.09); the version shown
    // after updating it when the table's own answer could not be read back.
    static constexpr quint16 kEmbeddedFirmwareVersion =
        Korvane::DeviceDriver::OrbiZo::Firmware::kEmbeddedFirmwareVersion;

protected:
    void run() override;

    Q_SIGNAL void SuccessfulUpdate(bool xRequiresReconnect);
    Q_SIGNAL void Error(const QString& xCaption, const QString& xText, const QString& xWhat);
    Q_SIGNAL void ProgressEvent(int xValue);
    Q_SIGNAL void ProgessAnimate(bool xStart);
    Q_SIGNAL void SilentMessage(const QString& xMsg);

protected slots:
    // Maps the facade's remaining/total work units onto the bar's 15..90 download span.
    virtual void slotProgressEvent(int xCurrentValue, int xTotalTime);

private:
    // The service record is made once the file passed its checks and a table is selected, and
    // stored, added to and finished on this thread: the history never stalls the window.
    void update(std::optional<Korvane::DeviceDriver::OrbiZo::History::ServiceRecord>& record);
    void announceDevice(Korvane::DeviceDriver::OrbiZo::History::ServiceRecord* record);
    void readBackVersion();

    Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater* updater;
    bool customFirmware;
    QString firmwareFile;
    QByteArray firmwareBytes;
};

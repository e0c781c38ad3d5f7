#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "firmware/DeviceInfo.h"
#include "utilities/RunSettings.h"

class MessageException;
namespace Korvane {
namespace Utilities {
class DownloadObserver;
class KorvaneException;
}  // namespace Utilities
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

class DeviceConnection;
class FlashSectorImage;

// The one object through which the application reaches a table: the selected table's device
// path, the firmware file of the next update and the version read back after it. Every talk
// with the table goes through a DeviceConnection of its own, opened for that one operation and
// closed at its end; nothing stays open in between.
//
// Lives in the GUI thread. setDevicePath and setFirmwareData are called there while no
// download runs; downloadFirmware runs on the worker thread and emits ProgressEvent there.
// No lock of its own: the controller serialises its calls.
class OrbiZo3FWUpdater : public QObject {
    Q_OBJECT

public:
    // The settings are the run's (RunSettings); the connections the facade opens follow them.
    explicit OrbiZo3FWUpdater(
        QObject* parent = nullptr,
        const Korvane::Utilities::RunSettings& settings = Korvane::Utilities::RunSettings());
    ~OrbiZo3FWUpdater() override;

    // What every connection to a table in this run is opened with: DeviceConnection(path,
    // settings()). Fixed at construction; any thread.
    const Korvane::Utilities::RunSettings& settings() const { return runSettings; }

    // Selects a table (empty: none) and forgets the version read back from the last one.
    void setDevicePath(const QString& path);
    QString devicePath() const { return path; }

    // The complete firmware file (Intel HEX text) of the next download, copied as it is.
    void setFirmwareData(const QByteArray& bytes);

    // Who hears of the next downloads' steps (see DownloadObserver); nullptr: nobody. Not owned;
    // it must outlive the downloads. Set while no download runs.
    void setDownloadObserver(Korvane::Utilities::DownloadObserver* observer) {
        downloadObserver = observer;
    }

    std::uint16_t newFirmwareVersion() const { return newVersion; }
    void setNewFirmwareVersion(std::uint16_t version) { newVersion = version; }

    // Identification over `connection` (connecting first if needed). Every failure becomes a
    // MessageException: those of connecting as they are, a table that went away as "OrbiZo3
    // disconnected", those of the queries as "Can't get Firmware version" with the cause as
    // detail.
    static DeviceInfo readDeviceInfo(DeviceConnection& connection);
    // How a failed identification reads: "Can't get Firmware version" / "Please disconnect and
    // reconnect the OrbiZo3 and try it again.", with the cause worded into the detail, or for a
    // failure that is no device failure with `detail` as it is.
    static MessageException versionUnreadable(const Korvane::Utilities::KorvaneException& cause);
    static MessageException versionUnreadable(const QString& detail);

    // Programs firmwareData into the selected table over a fresh connection: check the whole
    // file (checkFirmware, before the table is opened), load the image, enter the bootloader,
    // program each sector (ProgressEvent before every sector index with the work still to do and
    // the total), restart and require standby. Returns true when the whole sequence ran. Firmware
    // of 10000 bytes or fewer is refused with "No valid firmware (%1)"; connecting fails with a
    // MessageException; device and file failures leave as the OrbiZoException they are, except a
    // table that went away, which is reported as "OrbiZo3 disconnected". The connection is
    // closed on every exit.
    bool downloadFirmware();

    // Firmware files must be longer than this many bytes.
    static constexpr std::size_t kMinimumFirmwareSize = 10000;
    // Firmware files larger than this are refused while they are read.
    static constexpr std::size_t kMaximumFirmwareFileSize = 16 * 1024 * 1024;
    // Throws the download's MessageException for a file of kMinimumFirmwareSize bytes or fewer.
    static void checkFirmwareSize(std::size_t bytes);

    // Reads a firmware file (or a compiled-in resource) completely. A file that cannot be
    // opened or read to its end, or that is larger than kMaximumFirmwareFileSize, throws a
    // MessageException with an empty title, the refusal as text and the reason as detail.
    static QByteArray readFirmwareFile(const QString& fileName);

    // Everything a download checks before it touches a table, in its order: the size, the
    // parser, the flash image, then the sector rules (no sector 0, 2 or 3, at most 15 sectors,
    // at least one). The size refusal is a MessageException, the others OrbiZoExceptions.
    // `loaded`, when given, sees the flash image once the file has parsed, before the sector
    // rules are applied.
    static void checkFirmware(const std::vector<std::uint8_t>& content,
                              const std::function<void(const FlashSectorImage&)>& loaded = {});
    // checkFirmware on the firmware of the next download.
    void checkFirmware() const;
    // readFirmwareFile, then checkFirmware: the bytes of a file a download accepts.
    static QByteArray readAndCheckFirmwareFile(const QString& fileName);

signals:
    // xCurrentValue: work units still to do; xTotalTime: work units of the whole download.
    void ProgressEvent(int xCurrentValue, int xTotalTime);

private:
    bool runDownload();
    static MessageException disconnected(const Korvane::Utilities::KorvaneException& cause);

    const Korvane::Utilities::RunSettings runSettings;
    QString path;
    std::uint16_t newVersion = 0;
    Korvane::Utilities::DownloadObserver* downloadObserver = nullptr;
    std::vector<std::uint8_t> firmwareData;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

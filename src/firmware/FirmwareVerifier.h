#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "firmware/DeviceConnection.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

// Compares what a table's flash holds with a firmware file without changing the flash: the
// table is put into its bootloader as the download does (restart, boot break), the checksum of
// every sector the file holds is read and compared with the file's sum for that sector, and the
// table is restarted into its application. It never unlocks, prepares, erases or writes.
//
// Blocks the calling thread (the download's 200 ms and 1000 ms pauses included); one thread.
class FirmwareVerifier {
public:
    struct SectorComparison {
        std::uint16_t sector = 0;
        std::uint32_t tableSum = 0;
        std::uint32_t fileSum = 0;
        bool matches() const { return tableSum == fileSum; }
    };
    using SectorReport = std::function<void(const SectorComparison&)>;

    // Reads and checks `content` as the download does (its size, the parser, the flash image,
    // the sectors the download refuses) without any table; throws the download's
    // MessageException or OrbiZoException. Nothing is opened.
    // The connection follows `settings`.
    FirmwareVerifier(
        const QString& devicePath, const QByteArray& content,
        const Korvane::Utilities::RunSettings& settings = Korvane::Utilities::RunSettings());

    // Connects, enters the bootloader and compares sector by sector, calling `report` after
    // each. When anything fails on the way the table is restarted (as far as it answers) and
    // the failure is rethrown. Connecting fails with a MessageException, the table with an
    // OrbiZoException.
    std::vector<SectorComparison> compareSectors(const SectorReport& report);

    // The table's serial number from its USB descriptor (nothing is said on the table's line),
    // connecting if need be; empty when it cannot be read. A failure to connect is left for
    // compareSectors to report.
    QString serialNumber();

    // Restarts the table and requires it to report standby (its application running); throws
    // the OrbiZoException of the restart or of the status query otherwise.
    void restartApplication();

private:
    // The download's own checks of a file, in its order, without any table.
    static void checkAsTheDownloadDoes(const std::vector<std::uint8_t>& content);

    std::vector<std::uint8_t> firmware;
    DeviceConnection connection;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

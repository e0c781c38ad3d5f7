#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <ostream>

#include "firmware/DownloadObserver.h"
#include "history/HistoryRecorder.h"
#include "utilities/RunSettings.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {
class DeviceInfo;
class UserFailure;
}  // namespace Firmware
namespace Cli {

// The service record of one `update` or `verify` that has chosen its table (made then: that is
// the record's start). Fills the record from the run's settings, the firmware and the table,
// and hears the download's steps as its DownloadObserver. The record is stored as running at
// aboutToChangeTable() (or at begin() for a verify, which changes nothing) and completed by
// one of the finish calls; an attempt that ends before either is still recorded with its end.
// History warnings go to `err` once each, as they arise; nothing here throws or changes the
// command's outcome. `--no-history` (an empty history file): nothing at all. One thread.
class ServiceRecord : public Firmware::DownloadObserver {
public:
    // `firmwareFile`: the file as given on the command line, empty for the embedded firmware
    // (`embeddedVersion`); `content`: the bytes read from it.
    ServiceRecord(const Korvane::Utilities::RunSettings& settings,
                  History::HistoryRecord::Kind kind, const QString& devicePath,
                  const QString& firmwareFile, const QByteArray& content,
                  std::uint16_t embeddedVersion, std::ostream& err);
    ~ServiceRecord() override;

    // The table as identified before the attempt changes anything.
    void identified(const Firmware::DeviceInfo& info);
    // Stores the record as running (durable on return); again does nothing.
    void begin();

    void aboutToChangeTable() override;
    void sectorWritten(int sector) override;
    void sectorConfirmed(int sector, std::uint32_t sum) override;

    void succeeded(std::uint16_t versionAfter);
    void cancelled();
    // The failure being handled, as every front end translates it.
    void failed(const Firmware::UserFailure& failure);

    // "u9 in sector 8" -> command "u9", sector 8; what is not there stays empty / -1.
    static History::HistoryRecord::Failure failureFields(const Firmware::UserFailure& failure);

private:
    void finish(History::HistoryRecord::Outcome outcome, std::uint16_t versionAfter,
                const History::HistoryRecord::Failure& failure = {});
    void showWarnings();

    History::HistoryRecorder recorder;
    History::HistoryRecord record;
    std::ostream& err;
    bool begun = false;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "history/HistoryRecorder.h"
#include "utilities/DownloadObserver.h"
#include "utilities/RunSettings.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// The service record of one update or verify that has chosen its table, for either front end.
// Made then (that is the record's start); fills the record from the run's settings, the
// firmware and the table, and hears the download's steps as its DownloadObserver. The record is
// stored as running at aboutToChangeTable() (or begin() for a verify, which changes nothing)
// and completed by one of the finish calls; an attempt that ends before either is recorded all
// the same, begun and finished at once. Each history warning goes to `warn` once, as it arises
// (a whole sentence beginning "Update history: "). Nothing here throws or changes the attempt's
// outcome. An empty history file in the settings: nothing is opened or said.
// Not thread-safe: the thread that makes it uses it (the window's worker, the CLI's main).
class ServiceRecord : public Korvane::Utilities::DownloadObserver {
public:
    using Warn = std::function<void(const QString& warning)>;

    // `firmwareFile`: the file as given, empty for the embedded firmware (`embeddedVersion`);
    // `content`: the bytes read from it.
    ServiceRecord(const Korvane::Utilities::RunSettings& settings, HistoryRecord::Kind kind,
                  HistoryRecord::FrontEnd frontEnd, const QString& devicePath,
                  const QString& firmwareFile, const QByteArray& content,
                  std::uint16_t embeddedVersion, Warn warn);
    ~ServiceRecord() override;
    ServiceRecord(const ServiceRecord&) = delete;
    ServiceRecord& operator=(const ServiceRecord&) = delete;

    // The table as identified before the attempt changes anything. `latencyTimerMs`: the
    // converter's latency timer in effect as the identification's connection read it back (0:
    // not read; the record then keeps the value the settings ask for).
    void identified(const QString& serialNumber, std::uint16_t versionBefore,
                    int latencyTimerMs = 0);
    // The service bench run the attempt belongs to (its id); before begin().
    void partOfBench(const QString& benchId);
    // Stores the record as running (durable on return); again does nothing.
    void begin();

    void aboutToChangeTable() override;
    void sectorWritten(int sector) override;
    void sectorConfirmed(int sector, std::uint32_t sum) override;

    void succeeded(std::uint16_t versionAfter);
    void cancelled();
    void failed(const HistoryRecord::Failure& failure);
    // A failure as a front end words it (its UserFailure: code, caption, text, detail, where),
    // with `fallbackCaption` for a failure that has none. A template so that the history
    // needs nothing of the layers whose failures it records.
    template <typename WordedFailure>
    void failed(const WordedFailure& failure, const QString& fallbackCaption) {
        HistoryRecord::Failure fields;
        fields.code = failure.code;
        fields.caption = failure.captionOr(fallbackCaption);
        fields.text = failure.text;
        fields.detail = failure.detail;
        locate(fields, failure.where);
        failed(fields);
    }

    // The command and sector of a failure's `where` ("u9 in sector 8", "o0", "in sector 5"):
    // into `failure.command` and `failure.sector`; what is not there stays empty / -1.
    static void locate(HistoryRecord::Failure& failure, const QString& where);

private:
    void finish(HistoryRecord::Outcome outcome, std::uint16_t versionAfter,
                const HistoryRecord::Failure& failure = HistoryRecord::Failure());
    void showWarnings();

    HistoryRecorder recorder;
    HistoryRecord record;
    Warn warn;
    bool begun = false;
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

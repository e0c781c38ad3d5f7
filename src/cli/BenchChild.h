#pragma once

#include <QByteArray>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <istream>
#include <ostream>

#include "history/HistoryRecord.h"
#include "utilities/RunSettings.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {
class ServiceRecord;
}
namespace Cli {

// The work of one child process of a service bench (ServiceBench): `update` or `verify` with
// the hidden options --bench-child SERIAL and --bench-id ID, the global --device PATH naming
// its table, the firmware's bytes on standard input (the parent read the file once; FILE, when
// given, only names it in the history) and no questions. It opens the table at PATH only, and
// goes on only when that table's serial number is SERIAL. Standard output carries one JSON
// object per line, the events the parent takes in:
//   {"event":"identified","version_before":"1.07"}
//   {"event":"progress","percent":45,"sector":7}          sector -1 before the first
//   {"event":"warning","message":"Update history: ..."}
//   {"event":"finished","outcome":"updated","version_after":"1.09"}
//   {"event":"finished","outcome":"failed","message":"...","where":"u7 in sector 4",
//    "code":"0x0a002002"}
// Outcomes: updated, verified, differs, failed, disconnected (the table left during the
// work). Interrupts are held off for the whole run as during programming (InterruptGuard): the
// parent passes each of the bench's two steps on as one SIGINT. The history record carries the
// bench's id. Exit code as the single command's.
class BenchChild {
public:
    static constexpr const char* kSerialOption = "bench-child";
    static constexpr const char* kBenchIdOption = "bench-id";
    // The hidden options above, for update and verify.
    static void configure(QCommandLineParser& parser);
    static bool requested(const QCommandLineParser& parser);

    BenchChild(History::HistoryRecord::Kind kind, const QCommandLineParser& parser,
               const Korvane::Utilities::RunSettings& settings, std::ostream& out);

    // `arguments`: the command's, [FILE]. `firmware`: the firmware's bytes, read to its end.
    int run(const QStringList& arguments, std::istream& firmware);

private:
    // Reads the table's serial number and version; throws unless it is the expected table.
    void identify(History::ServiceRecord& record);
    // Each returns the finished event of a run that got to its end.
    QJsonObject update(const QByteArray& content, bool customFirmware,
                       History::ServiceRecord& record);
    QJsonObject verify(const QByteArray& content, History::ServiceRecord& record);
    bool tableStillPresent() const;
    void progress(int percent);
    void write(const QJsonObject& event);

    const History::HistoryRecord::Kind kind;
    const QString serial;
    const QString benchId;
    const QString devicePath;
    const Korvane::Utilities::RunSettings settings;
    std::ostream& out;
    int sector = -1;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QStringList>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// The history file's schema and its life, one line a version (kept in PRAGMA user_version):
//   1  record: one row per update or verify, with its firmware, outcome and failure;
//      sector: what each flash sector received and the sum the table confirmed
//   2  record: boot_id and process_start, so that a dead process is told from a live one
//      that got its pid; bench_id; indexes for newest first, overall and by serial number
// A file is brought forward one step at a time, all steps in one transaction. A file of a
// later version than CurrentVersion is never changed.
class HistorySchema {
public:
    static constexpr int CurrentVersion = 2;

    // The statements that bring a file of version `version - 1` to `version`
    // (1 <= version <= CurrentVersion). Step 1 creates the tables in an empty file.
    static QStringList step(int version);

    // The columns of table `record` this program reads, in the order HistoryDatabase uses.
    static const QStringList& recordColumns();
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

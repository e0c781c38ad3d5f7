#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "history/HistoryDatabase.h"
#include "history/HistoryRecord.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// Reads the history for a front end: never throws, never changes the file (a missing file is
// an empty history). Use it on one thread (see HistoryDatabase).
class HistoryReader {
public:
    struct Result {
        std::vector<HistoryRecord> records;  // newest first
        QStringList warnings;                // whole sentences beginning "Update history: "
        bool readable = true;                // false when the file could not be read at all
    };

    // `serial` empty: every table; `limit` <= 0: all records.
    static Result read(const QString& path, const QString& serial, int limit,
                       int busyTimeoutMs = HistoryDatabase::DefaultBusyTimeoutMs);
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QJsonObject>
#include <QString>
#include <ostream>
#include <vector>

#include "cli/BenchTable.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// The end of a service bench: one row per table (serial number, version before -> after,
// outcome, time, and for a failure its message and where), the time spent finding and opening
// the tables before the first sector was worked on, shown on its own, and the totals.
class BenchSummary {
public:
    BenchSummary(const QString& benchId, const std::vector<BenchTable>& tables,
                 double openingSeconds, double totalSeconds);

    bool allSucceeded() const;
    // The table as text (columns padded to their widest cell).
    void print(std::ostream& out) const;
    // {"event":"summary","bench_id":...,"tables":[...],"opening_seconds":...,
    //  "total_seconds":...,"succeeded":n,"failed":n}
    QJsonObject json() const;

private:
    const QString benchId;
    const std::vector<BenchTable>& tables;
    const double openingSeconds;  // negative: no table got to its first sector
    const double totalSeconds;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "history/HistoryRecord.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// Records as CSV after RFC 4180: a header line, one line per record, lines ended by CR LF,
// fields holding a comma, a double quote, CR or LF enclosed in double quotes with inner quotes
// doubled. Empty fields for what is not known. Sectors as "written" ("4 5 6") and "sums"
// ("4:0x0012ab34 5:0x..."), versions as text ("1.09"), codes as "0x0a002045".
class HistoryCsv {
public:
    static QString document(const std::vector<HistoryRecord>& records);
    static QString header();
    static QString line(const HistoryRecord& record);
    static QString field(const QString& value);
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

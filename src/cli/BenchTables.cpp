#include "cli/BenchTables.h"

#include "cli/DeviceSelection.h"
#include "cli/TableChoice.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

BenchTables::BenchTables(const DeviceSelection& selection, const QStringList& requested) {
    std::vector<BenchTable> present;
    for (const QString& path : selection.presentTables())
        present.emplace_back(path, TableChoice::serialNumberOf(path, selection.settings()));
    if (present.empty()) {
        problem = "No OrbiZo3 connected";
        return;
    }
    if (requested.isEmpty()) {
        tables = present;
        return;
    }
    for (const QString& value : requested) {
        const BenchTable* match = nullptr;
        for (const BenchTable& table : present) {
            if (table.devicePath.compare(value, Qt::CaseInsensitive) == 0 ||
                table.serialNumber == value)
                match = &table;
        }
        if (!match) {
            problem =
                "No OrbiZo3 with the device path or serial number '" + value + "' is connected";
            tables.clear();
            return;
        }
        bool listed = false;
        for (const BenchTable& table : tables)
            listed = listed || table.devicePath == match->devicePath;
        if (!listed) tables.push_back(*match);
    }
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "cli/BenchTable.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

class DeviceSelection;

// The tables of a service bench, found once at its start: every table present, or those that
// the --device values name (each a device path, letter case aside, or a serial number). Each
// table is opened once, here, to read its serial number; its child is later told both. Tables
// that arrive after this are not part of the bench.
class BenchTables {
public:
    // Empty `problem` when usable. A value that names no present table, or no table at all,
    // refuses the bench before any table is changed. A table whose serial number cannot be
    // read is listed with "-" and fails without a child.
    BenchTables(const DeviceSelection& selection, const QStringList& requested);

    std::vector<BenchTable> tables;
    QString problem;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

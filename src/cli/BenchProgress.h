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

// Shows a service bench's progress as its tables' events come in:
// - Terminal: one line per table (serial number, bar, percent, sector, time left), the block
//   redrawn in place; notes go to standard error, and the block is drawn anew below them.
// - Lines: one plain line per change ("OZ3S000001: 45% sector 7"), for logs; notes on
//   standard error.
// - Json: JSON Lines on standard output: every event of every table with "serial_number",
//   "device" and "seconds" (since the bench's start) added, the bench's own events
//   ("bench", "started", "interrupt"), and nothing else.
// Main thread only; `tables` must outlive the object and keep its size.
class BenchProgress {
public:
    enum class Mode { Terminal, Lines, Json };

    BenchProgress(std::ostream& out, std::ostream& err, Mode mode,
                  const std::vector<BenchTable>& tables);

    // The bench's first event: its id, command and tables.
    void begin(const QString& benchId, const QString& command);
    // `table` has taken in `event` (BenchTable::apply) at `seconds` into the bench.
    void event(const BenchTable& table, QJsonObject event, double seconds);
    // An interrupt step passed on to the children, with the words for a person.
    void interrupted(int step, const QString& text, double seconds);
    // Redraws the terminal's block (its times left move on); nothing in the other modes.
    void tick();
    // Ends the terminal's block.
    void finish();

    // The terminal's line of one table.
    static std::string line(const BenchTable& table,
                            BenchTable::Clock::time_point now = BenchTable::Clock::now());

private:
    void draw();

    std::ostream& out;
    std::ostream& err;
    const Mode mode;
    const std::vector<BenchTable>& tables;
    bool drawn = false;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QString>
#include <ostream>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// Shows the progress of an update in percent, with the values the window's bar gets:
// 5, 15, one per sector index, 90, and 100 at the end. On a terminal one bar is redrawn in
// place; otherwise every value is a line of its own ("Progress: 15%"), for logs and scripts.
class ProgressDisplay {
public:
    ProgressDisplay(std::ostream& out, bool terminal);
    ~ProgressDisplay();

    void show(int percent);
    // A line of text between progress values (ends the bar's line first on a terminal).
    void note(const QString& text);
    // Ends the bar's line on a terminal.
    void finish();

    // The window's mapping of the download's work units to the bar: 15 with all work still to
    // do, towards 90 as sectors are done (single precision, truncated).
    static int percentFromWorkUnits(int current, int total);

private:
    std::ostream& out;
    const bool terminal;
    bool barOpen = false;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

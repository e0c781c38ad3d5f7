#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// Shows the progress of an update in percent, with the values the window's bar gets:
// 5, 15, one per sector index, 90, and 100 at the end. On a terminal one bar is redrawn in
// place, with the time since the first value and an estimate of the time left; otherwise every
// value is a line of its own ("Progress: 15%"), for logs and scripts.
class ProgressDisplay {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ProgressDisplay(std::ostream& out, bool terminal, Clock clock = std::chrono::steady_clock::now);
    ~ProgressDisplay();

    void show(int percent);
    // A line of text between progress values (ends the bar's line first on a terminal).
    void note(const QString& text);
    // Ends the bar's line on a terminal.
    void finish();

    // The window's mapping of the download's work units to the bar: 15 with all work still to
    // do, towards 90 as sectors are done (single precision, truncated).
    static int percentFromWorkUnits(int current, int total);

    // The bar's line: "\r[####....]  45%  0:12 elapsed, 0:15 left". The time left is
    // extrapolated from the progress since the first value ("-:--" until there is any).
    static std::string barLine(int percent, int firstPercent, std::chrono::seconds elapsed);

private:
    std::ostream& out;
    const bool terminal;
    const Clock clock;
    bool barOpen = false;
    bool started = false;
    int firstPercent = 0;
    std::chrono::steady_clock::time_point start;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

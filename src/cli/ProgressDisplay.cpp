#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <boost/format.hpp>
#include <string>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

namespace {
constexpr int kBarWidth = 40;
}

ProgressDisplay::ProgressDisplay(std::ostream& out, bool terminal, Clock clock)
    : out(out), terminal(terminal), clock(std::move(clock)) {}

ProgressDisplay::~ProgressDisplay() {
    finish();
}

void ProgressDisplay::show(int percent) {
    if (!terminal) {
        out << "Progress: " << percent << "%" << std::endl;
        return;
    }
    const auto now = clock();
    if (!started) {
        started = true;
        start = now;
        firstPercent = percent;
    }
    out << barLine(percent, firstPercent,
                   std::chrono::duration_cast<std::chrono::seconds>(now - start))
        << std::flush;
    barOpen = true;
}

void ProgressDisplay::note(const QString& text) {
    finish();
    out << text.toStdString() << std::endl;
}

void ProgressDisplay::finish() {
    if (!barOpen) return;
    out << std::endl;
    barOpen = false;
}

std::string ProgressDisplay::barLine(int percent, int firstPercent, std::chrono::seconds elapsed) {
    const auto minutes = [](long long seconds) {
        return (boost::format("%d:%02d") % (seconds / 60) % (seconds % 60)).str();
    };
    const int shown = std::clamp(percent, 0, 100);
    const int filled = shown * kBarWidth / 100;
    std::string left = "-:--";
    if (shown >= 100) {
        left = minutes(0);
    } else if (shown > firstPercent) {
        left = minutes(elapsed.count() * (100 - shown) / (shown - firstPercent));
    }
    return (boost::format("\r[%s%s] %3d%%  %s elapsed, %s left  ") % std::string(filled, '#') %
            std::string(kBarWidth - filled, '.') % percent % minutes(elapsed.count()) % left)
        .str();
}

int ProgressDisplay::percentFromWorkUnits(int current, int total) {
    if (total <= 0) return 90;
    return static_cast<int>(90.0f -
                            (static_cast<float>(current) / static_cast<float>(total)) * 75.0f);
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

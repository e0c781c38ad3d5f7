#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <string>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

namespace {
constexpr int kBarWidth = 40;
}

ProgressDisplay::ProgressDisplay(std::ostream& out, bool terminal) : out(out), terminal(terminal) {}

ProgressDisplay::~ProgressDisplay() {
    finish();
}

void ProgressDisplay::show(int percent) {
    if (!terminal) {
        out << "Progress: " << percent << "%" << std::endl;
        return;
    }
    const int filled = std::clamp(percent, 0, 100) * kBarWidth / 100;
    out << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, '.') << "] "
        << percent << "%" << std::flush;
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

int ProgressDisplay::percentFromWorkUnits(int current, int total) {
    if (total <= 0) return 90;
    return static_cast<int>(90.0f -
                            (static_cast<float>(current) / static_cast<float>(total)) * 75.0f);
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

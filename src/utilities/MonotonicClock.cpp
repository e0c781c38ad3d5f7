#include "utilities/MonotonicClock.h"

namespace Korvane {
namespace Utilities {

namespace {

class SteadyClock : public MonotonicClock {
public:
    Duration now() const override {
        return std::chrono::duration_cast<Duration>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};

}  // namespace

std::shared_ptr<MonotonicClock> MonotonicClock::steady() {
    static const std::shared_ptr<MonotonicClock> clock = std::make_shared<SteadyClock>();
    return clock;
}

}  // namespace Utilities
}  // namespace Korvane

#pragma once

#include <atomic>
#include <cstdint>

#include "utilities/MonotonicClock.h"

namespace Korvane {
namespace Utilities {

// A clock that stands still until told to move: simulated tables whose timing model is off
// answer every bulk read at once and advance it by what the read would have taken on a real
// converter, so time-outs measured on it end after their full length in this clock's time and
// at once in real time. Starts at 0; any thread may advance and read it.
class VirtualClock : public MonotonicClock {
public:
    Duration now() const override;
    // Moves the clock on by `by`; a negative duration does nothing (the clock never goes back).
    void advance(Duration by);

private:
    std::atomic<std::int64_t> microseconds{0};
};

}  // namespace Utilities
}  // namespace Korvane

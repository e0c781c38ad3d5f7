#pragma once

#include <chrono>
#include <memory>

namespace Korvane {
namespace Utilities {

// The clock that answer time-outs are measured on: time since an arbitrary start, never going
// back. The run's settings carry one (RunSettings::clock): the steady clock of the machine, or
// a VirtualClock that simulated tables move on when they keep no time of their own.
//
// Implementations are safe to read from any thread.
class MonotonicClock {
public:
    using Duration = std::chrono::microseconds;

    virtual ~MonotonicClock() = default;
    virtual Duration now() const = 0;

    // The machine's steady clock, one instance for the process.
    static std::shared_ptr<MonotonicClock> steady();
};

}  // namespace Utilities
}  // namespace Korvane

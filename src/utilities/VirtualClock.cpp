#include "utilities/VirtualClock.h"

namespace Korvane {
namespace Utilities {

MonotonicClock::Duration VirtualClock::now() const {
    return Duration(microseconds.load());
}

void VirtualClock::advance(Duration by) {
    if (by.count() > 0) microseconds += by.count();
}

}  // namespace Utilities
}  // namespace Korvane

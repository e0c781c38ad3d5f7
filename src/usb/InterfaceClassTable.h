#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/win32/Win32.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// Process-wide table of the device interface classes a vendor/product pair presents. The
// notification service registers these classes for its watched pairs; pairs without an entry
// are matched by their identifiers alone. The table starts empty, and the application adds
// nothing to it: the table's own pair is watched through the generic USB device class.
class InterfaceClassTable {
public:
    static InterfaceClassTable& instance();

    // Every class recorded for the pair, in the order they were added.
    std::vector<GUID> classesFor(std::uint32_t vendorId, std::uint32_t productId) const;

    void add(std::uint32_t vendorId, std::uint32_t productId, const GUID& interfaceClass);

    // Forgets every entry (tests restore the empty table with it).
    void clear();

private:
    InterfaceClassTable() = default;

    mutable std::mutex mutex;
    std::multimap<std::pair<std::uint32_t, std::uint32_t>, GUID> classes;
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

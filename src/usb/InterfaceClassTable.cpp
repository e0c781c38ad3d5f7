#include "usb/InterfaceClassTable.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

InterfaceClassTable& InterfaceClassTable::instance() {
    static InterfaceClassTable table;
    return table;
}

std::vector<GUID> InterfaceClassTable::classesFor(std::uint32_t vendorId,
                                                  std::uint32_t productId) const {
    std::lock_guard<std::mutex> guard(mutex);
    std::vector<GUID> result;
    auto range = classes.equal_range(std::make_pair(vendorId, productId));
    for (auto it = range.first; it != range.second; ++it) result.push_back(it->second);
    return result;
}

void InterfaceClassTable::add(std::uint32_t vendorId, std::uint32_t productId,
                              const GUID& interfaceClass) {
    std::lock_guard<std::mutex> guard(mutex);
    classes.emplace(std::make_pair(vendorId, productId), interfaceClass);
}

void InterfaceClassTable::clear() {
    std::lock_guard<std::mutex> guard(mutex);
    classes.clear();
}

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

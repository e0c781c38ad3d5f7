#include "firmware/FlashSector.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

FlashSector::FlashSector(std::uint32_t start, std::uint32_t length)
    : start(start), length(length) {}

bool FlashSector::contains(std::uint32_t address) const {
    return address >= start && address - start < length;
}

void FlashSector::allocate() {
    if (data.empty()) {
        data.assign(length, 0xFF);
        written.assign(length, false);
    }
}

void FlashSector::release() {
    data.clear();
    data.shrink_to_fit();
    written.clear();
    written.shrink_to_fit();
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

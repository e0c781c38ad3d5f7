#pragma once

#include <cstdint>
#include <vector>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

// One sector of the table's program flash as a firmware file describes it. The sector holds
// data exactly when its buffer exists; a new buffer starts erased (all 0xFF).
struct FlashSector {
    FlashSector(std::uint32_t start, std::uint32_t length);

    bool hasData() const { return !data.empty(); }
    bool contains(std::uint32_t address) const;
    // Creates the erased buffer on first use; keeps existing contents.
    void allocate();

    std::uint32_t start;
    std::uint32_t length;
    std::vector<std::uint8_t> data;  // empty, or exactly `length` bytes
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

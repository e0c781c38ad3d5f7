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
    // Back to untouched: no buffer, nothing written.
    void release();

    std::uint32_t start;
    std::uint32_t length;
    std::vector<std::uint8_t> data;  // empty, or exactly `length` bytes
    // Which bytes of `data` a record has written (sized with `data`), so that two records
    // disagreeing about a byte can be told from one byte written twice alike.
    std::vector<bool> written;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

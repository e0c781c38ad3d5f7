#pragma once

// The table's program flash: 15 sectors of 8192 bytes. Erasing sets a sector to 0xFF;
// programming can only clear bits (a byte becomes old AND new), as in a real flash.

#include <cstdint>
#include <vector>

#include "simulator/ApplicationHeader.h"

namespace Korvane {
namespace Simulator {

class FlashMemory {
public:
    static constexpr std::uint32_t kSectorSize = 8192;
    static constexpr std::uint32_t kSectorCount = 15;
    static constexpr std::uint32_t kSize = kSectorSize * kSectorCount;

    FlashMemory();  // erased

    void erase(std::uint32_t sector);
    void program(std::uint32_t address, const std::uint8_t* data, std::uint32_t length);
    // Sets bytes as given, bypassing the flash rules (factory programming, test set-up).
    void write(std::uint32_t address, const std::vector<std::uint8_t>& data);

    // Byte sum of first..last inclusive; both must lie inside the flash.
    std::uint32_t sum(std::uint32_t first, std::uint32_t last) const;
    // True when first..last is all 0xFF; otherwise offset receives the distance of the first
    // other byte from `first`.
    bool blank(std::uint32_t first, std::uint32_t last, std::uint32_t& offset) const;
    // The application header, when the flash holds a valid application.
    bool application(ApplicationHeader& header) const;

    const std::vector<std::uint8_t>& bytes() const { return memory; }

private:
    std::vector<std::uint8_t> memory;
};

}  // namespace Simulator
}  // namespace Korvane

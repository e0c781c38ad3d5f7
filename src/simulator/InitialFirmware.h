#pragma once

// The contents a table leaves the factory with: its bootloader in sector 0, configuration data
// in sectors 2 and 3, and an application in sectors 4 to 13 whose header carries the version
// word 0x0107.

#include <cstdint>
#include <vector>

#include "simulator/FlashMemory.h"

namespace Korvane {
namespace Simulator {

class InitialFirmware {
public:
    static constexpr std::uint16_t kFactoryVersion = 0x0107;
    // Sectors 4 to 13: the span of every application image of this table.
    static constexpr std::uint32_t kApplicationLength = 10 * FlashMemory::kSectorSize;

    static void load(FlashMemory& flash);

    // An application image for address 0x8000, `length` bytes (at least the header's 16),
    // with a valid header for `version`. The content is deterministic and differs per version.
    static std::vector<std::uint8_t> applicationImage(std::uint16_t version,
                                                      std::uint32_t length = kApplicationLength);
};

}  // namespace Simulator
}  // namespace Korvane

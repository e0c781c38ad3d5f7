#pragma once

#include <cstdint>
#include <vector>

namespace Korvane { namespace Testing {

// The 18-byte device descriptor the test doubles answer with: USB 2.0, class per interface,
// 64-byte control packets, strings 1 (maker), 2 (product) and 3 (serial number), one
// configuration.
inline std::vector<std::uint8_t> deviceDescriptor(std::uint16_t vid, std::uint16_t pid,
                                                  std::uint16_t bcdDevice) {
    return {18, 1, 0x00, 0x02, 0, 0, 0, 64,
            std::uint8_t(vid), std::uint8_t(vid >> 8), std::uint8_t(pid), std::uint8_t(pid >> 8),
            std::uint8_t(bcdDevice), std::uint8_t(bcdDevice >> 8), 1, 2, 3, 1};
}

}}  // namespace Korvane::Testing

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/EmbeddedFirmwareVersion.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Tools {

// Produces the firmware file the updater carries as its default (version 1.09): an application
// image of 0x14000 bytes at 0x8000..0x1BFFF that starts with a valid ApplicationHeader and
// continues with pseudo-random bytes from a fixed seed, written as Intel HEX with CR LF line
// ends. Same output on every run and every platform.
class EmbeddedFirmwareGenerator {
public:
    static constexpr std::uint16_t kVersion = Firmware::kEmbeddedFirmwareVersion;
    static constexpr std::uint32_t kImageStart = 0x8000;
    static constexpr std::uint32_t kImageLength = 0x14000;
    static constexpr std::uint32_t kBytesPerRecord = 16;

    // The image bytes for kImageStart onward, header included.
    static std::vector<std::uint8_t> image();
    // The complete firmware file text.
    static std::string fileText();
};

}  // namespace Tools
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <cstdint>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

// Version word of the firmware the updater carries as its default (":/Resources/FW_Zo3.zof"),
// major in the high byte: 0x0109 is "1.09". The generator writes it into the embedded image's
// header; the programs state it for that image.
constexpr std::uint16_t kEmbeddedFirmwareVersion = 0x0109;

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

// What the identification read learns about a table.
struct DeviceInfo {
    // The three numbers of the table's version query, in its order; the second is the
    // firmware version word (high byte major, low byte minor).
    std::array<std::uint32_t, 3> versionValues{};
    QString serialNumber;
    // The converter's latency timer in effect on the connection that read this, in ms.
    std::uint8_t latencyTimerMs = 0;

    std::uint16_t firmwareVersion() const { return static_cast<std::uint16_t>(versionValues[1]); }
    // The firmware version word as "major.minor", the minor with two digits (0x0109: "1.09").
    QString versionText() const;

    // The same text for any version word. Word 0 (none) has no text of its own: callers show
    // "-" for it.
    static QString versionText(std::uint16_t versionWord);
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

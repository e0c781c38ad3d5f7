#pragma once

// How long things take on a simulated table. Off by default: every answer is ready the moment
// its command has arrived, so tests run at full speed. Switched on, the serial line, the
// converter's latency timer and the flash operations take about the time they take on a table.

#include <chrono>
#include <cstdint>

namespace Korvane {
namespace Simulator {

struct TimingModel {
    bool enabled = false;
    // The converter sends a short packet only when its latency timer runs out.
    std::chrono::microseconds latency{16000};
    std::chrono::microseconds erasePerSector{100000};
    std::chrono::microseconds copyPer512Bytes{1000};
    std::chrono::microseconds reset{50000};
    // c4 sends its answer header at once and its data when the measurement is done.
    std::chrono::microseconds measurement{1500000};

    // One byte on the serial line (8N1: ten bit times) at the converter's baud divisor, whose
    // base clock is 3 MHz. Divisor 0x34 gives 173 microseconds.
    static std::chrono::microseconds byteTime(std::uint16_t divisor) {
        const std::uint32_t d = divisor == 0 ? 1u : divisor;
        return std::chrono::microseconds((10ull * d * 1000000ull + 1500000ull) / 3000000ull);
    }
};

}  // namespace Simulator
}  // namespace Korvane

#pragma once

#include <cstdint>

// The serial converter's latency timer, in milliseconds: how long the converter holds back a
// packet shorter than 64 bytes before it sends it. Every answer of the table is such a packet,
// so the timer is paid about once per command; the link sets it at every configure.
namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// The converter's own value, until the host sets another.
constexpr std::uint8_t kConverterLatencyTimerMs = 16;
// What the link sets unless told otherwise.
constexpr std::uint8_t kDefaultLatencyTimerMs = 2;
// Set nothing: the converter keeps its own value (the five start-up requests only).
constexpr std::uint8_t kKeepConverterLatencyTimer = 0;

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <cstdint>

// The table's USB vendor and product identifier: the one pair the whole project watches,
// discovers, simulates and grants access to (the udev rule in packaging/ repeats it).
namespace Korvane { namespace DeviceDriver { namespace OrbiZo {

constexpr std::uint16_t kOrbiZo3VendorId = 0x1209;
constexpr std::uint16_t kOrbiZo3ProductId = 0x7A03;

}}}  // namespace Korvane::DeviceDriver::OrbiZo

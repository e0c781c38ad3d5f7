#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Finding tables among the present USB devices by their vendor and product identifiers.
namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// Device interface paths (narrow, letter case as the system gives it, in enumeration order) of
// all present USB devices whose path carries this vendor and product identifier. Takes no lock;
// an empty list when the device search cannot be started.
std::vector<std::string> findDevicePaths(std::uint32_t vendorId, std::uint32_t productId);

// Reads the identifiers from the second '#'-separated piece of a device path
// ("\\?\usb#vid_1209&pid_7a03#SERIAL#{...}"), in either letter case; anything after the product
// identifier (such as "&mi_00") is ignored. false when the path carries no such piece; the
// identifiers are then left as they were.
bool parseVendorProduct(const std::string& devicePath, std::uint32_t& vendorId,
                        std::uint32_t& productId);

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

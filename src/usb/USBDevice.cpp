#include "usb/USBDevice.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

USBDevice::USBDevice(const std::string& channel) : Loggable(channel) {}

USBDevice::~USBDevice() = default;

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

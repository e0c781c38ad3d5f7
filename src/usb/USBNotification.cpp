#include "usb/USBNotification.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

USBNotification::USBNotification(const std::string& channel)
    : Korvane::Utilities::Logging::Loggable(channel) {}

USBNotification::~USBNotification() = default;

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

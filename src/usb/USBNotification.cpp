#include "usb/USBNotification.h"

namespace Korvane {
namespace Utilities {
namespace USB {

USBNotification::USBNotification(const std::string& channel) : Logging::Loggable(channel) {}

USBNotification::~USBNotification() = default;

}  // namespace USB
}  // namespace Utilities
}  // namespace Korvane

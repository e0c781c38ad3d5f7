#include "usb/CPnPNotifyHandler.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

CPnPNotifyHandler::~CPnPNotifyHandler() = default;

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "usb/CPnPNotifyHandler.h"

namespace Korvane {
namespace Utilities {
namespace USB {

CPnPNotifyHandler::~CPnPNotifyHandler() = default;

}
}  // namespace Utilities
}  // namespace Korvane

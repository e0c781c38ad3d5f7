#pragma once

#include "platform/win32/Win32.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// Receives the device-change messages of a CPnPNotificator's hidden window, on the
// notificator's thread.
class CPnPNotifyHandler {
public:
    virtual ~CPnPNotifyHandler();

    // message is WM_DEVICECHANGE; event and record are the message's wParam and lParam as the
    // window received them (the record is only valid during the call).
    virtual void onDeviceChange(UINT message, WPARAM event, LPARAM record) = 0;
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

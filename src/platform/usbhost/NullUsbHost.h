#pragma once

#include "platform/usbhost/HotplugSubscribers.h"
#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

// A USB host without devices: nothing is present, nothing can be opened, nothing arrives.
class NullUsbHost : public UsbHost {
public:
    std::vector<UsbDeviceInfo> presentDevices() override { return {}; }
    UsbError open(const std::string& instanceId,
                  std::unique_ptr<UsbDeviceSession>& session) override;
    std::uint64_t subscribe(HotplugCallback callback) override;
    void unsubscribe(std::uint64_t id) override;

private:
    HotplugSubscribers subscribers;
};

}  // namespace Platform
}  // namespace Korvane

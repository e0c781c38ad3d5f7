#pragma once

// The simulated USB bus: a UsbHost backend whose devices are SimulatedUsbDevice objects that
// tests, orbizo3-cli --simulate and the GUI's simulation mode plug in and out at run time.
//
// Hotplug subscribers are called on the thread that plugs or unplugs, after the bus has let go
// of its lock. Sessions follow UsbHost's contracts; opens are exclusive (a second open of a held
// device fails with ERROR_ACCESS_DENIED until the first session is closed). Devices see
// sessionOpened before open returns and sessionClosed after the session's pending transfers
// have ended.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/usbhost/UsbHost.h"
#include "platform/usbhost/simulated/SimulatedUsbDevice.h"

namespace Korvane {
namespace Platform {

class SimulatedUsbBus : public UsbHost {
public:
    // The process's one simulated bus (the registered USB host when the settings choose it).
    static SimulatedUsbBus& instance();

    // Plugs a device in (arrival to the hotplug subscribers). The bus shares ownership until
    // unplug. Plugging an instance id that is already present is ignored.
    void plug(std::shared_ptr<SimulatedUsbDevice> device);

    // Pulls a device out: its open session fails from now on with ERROR_DEVICE_NOT_CONNECTED,
    // pending transfers complete at once with that error, subscribers see the departure.
    // Safe from any thread, including from inside the device's own bulkOut/bulkIn/control
    // calls (a table that "loses power" in the middle of a command), but not from a transfer's
    // completion callback (unplug waits for those to return). Unknown ids are ignored.
    void unplug(const std::string& instanceId);

    // Unplugs everything (test fixtures call it in TearDown).
    void unplugAll();

    std::vector<UsbDeviceInfo> presentDevices() override;
    UsbError open(const std::string& instanceId,
                  std::unique_ptr<UsbDeviceSession>& session) override;
    std::uint64_t subscribe(HotplugCallback callback) override;
    void unsubscribe(std::uint64_t id) override;

    ~SimulatedUsbBus() override;

private:
    SimulatedUsbBus();
    struct State;
    std::shared_ptr<State> state;
};

}  // namespace Platform
}  // namespace Korvane

#pragma once

// The table the fuzz targets talk to: a scripted device on the simulated bus whose bulk-in
// reads play back what the fuzzer made up, and a configured link to it. One per input, so
// that nothing of one input is left for the next.

#include <cstdlib>
#include <memory>
#include <string>

#include <boost/make_shared.hpp>

#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "support/ScriptedUsbDevice.h"
#include "usb/SerialUSB.h"

namespace Korvane {
namespace Testing {

class FuzzTable {
public:
    FuzzTable() {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        device = std::make_shared<ScriptedUsbDevice>("FUZZ0001");
        // With nothing scripted, a read brings the two status bytes of an empty packet.
        device->setIdleReply(emptyPacket());
        // Time-outs run their length on the clock the reads move on, not in real time.
        auto clock = std::make_shared<Utilities::VirtualClock>();
        device->driveClock(clock);
        Platform::SimulatedUsbBus::instance().plug(device);
        link = boost::make_shared<DeviceDriver::OrbiZo::USB::SerialUSB>(clock);
        link->open(devicePathFor("FUZZ0001"));
        link->configure();
    }
    ~FuzzTable() {
        link.reset();
        Platform::SimulatedUsbBus::instance().unplugAll();
    }
    FuzzTable(const FuzzTable&) = delete;
    FuzzTable& operator=(const FuzzTable&) = delete;

    // The bytes as the table's converter sends them, all in one bulk read.
    void send(const std::string& payload) {
        if (!payload.empty()) device->queueIn(packets(payload));
    }

    std::shared_ptr<ScriptedUsbDevice> device;
    boost::shared_ptr<DeviceDriver::OrbiZo::USB::SerialUSB> link;
};

}  // namespace Testing
}  // namespace Korvane

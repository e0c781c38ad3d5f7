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
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Testing {

class FuzzTable {
public:
    FuzzTable() {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        device = std::make_shared<ScriptedUsbDevice>(DeviceDriver::OrbiZo::kOrbiZo3VendorId,
                                                     DeviceDriver::OrbiZo::kOrbiZo3ProductId,
                                                     "FUZZ0001");
        // With nothing scripted, a read brings the two status bytes of an empty packet.
        device->setIdleReply(Bytes{0x01, 0x60});
        Platform::SimulatedUsbBus::instance().plug(device);
        link = boost::make_shared<DeviceDriver::OrbiZo::USB::SerialUSB>();
        link->open("\\\\?\\usb#vid_1209&pid_7a03#FUZZ0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
        link->configure();
    }
    ~FuzzTable() {
        link.reset();
        Platform::SimulatedUsbBus::instance().unplugAll();
    }
    FuzzTable(const FuzzTable&) = delete;
    FuzzTable& operator=(const FuzzTable&) = delete;

    // The bytes as the table's converter sends them: packets of up to 62 payload bytes, each
    // led by the status bytes 01 60, all in one bulk read.
    void send(const std::string& payload) {
        Bytes packets;
        for (std::size_t at = 0; at < payload.size(); at += 62) {
            packets.push_back(0x01);
            packets.push_back(0x60);
            const std::string piece = payload.substr(at, 62);
            packets.insert(packets.end(), piece.begin(), piece.end());
        }
        if (!packets.empty()) device->queueIn(packets);
    }

    std::shared_ptr<ScriptedUsbDevice> device;
    boost::shared_ptr<DeviceDriver::OrbiZo::USB::SerialUSB> link;
};

}  // namespace Testing
}  // namespace Korvane

#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/LineFormat.h"
#include "support/ScriptedUsbDevice.h"
#include "usb/SerialUSB.h"
#include "utilities/OrbiZoException.h"
#include "utilities/Properties.h"

namespace Korvane {
namespace Testing {

// A configured link to a scripted table on the simulated bus, and an empty property table.
// The link is configured without a latency timer: reads of the silent table bring the status
// bytes alone at once and move the link's virtual clock on by the converter's 16 ms each.
class TableFixture : public ::testing::Test {
protected:
    using SerialUSB = DeviceDriver::OrbiZo::USB::SerialUSB;
    using Properties = DeviceDriver::OrbiZo::Utilities::Configuration::Properties;

    void SetUp() override {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        static int count = 0;
        table = std::make_shared<ScriptedUsbDevice>("COMM" + std::to_string(++count));
        table->setIdleReply(emptyPacket());
        table->driveClock(clock);
        Platform::SimulatedUsbBus::instance().plug(table);
        link = boost::make_shared<SerialUSB>(clock);
        link->open(devicePathFor(table->instanceId()));
        link->configure(DeviceDriver::OrbiZo::USB::kKeepConverterLatencyTimer);
        properties = boost::make_shared<Properties>("test");
        table->clearRecord();
    }

    void TearDown() override {
        link.reset();
        Platform::SimulatedUsbBus::instance().unplugAll();
    }

    // A complete answer line: content (from ':' up to the data) + checksum digits + CR.
    static std::string answer(const std::string& content) {
        using Simulator::LineFormat;
        return content + LineFormat::hex(LineFormat::checksum(content), 2) + '\r';
    }

    // The command lines sent, one per bulk-out transfer.
    std::vector<std::string> sent() const {
        std::vector<std::string> lines;
        for (const Bytes& out : table->outTransfers()) lines.emplace_back(out.begin(), out.end());
        return lines;
    }

    std::shared_ptr<Utilities::VirtualClock> clock = std::make_shared<Utilities::VirtualClock>();
    std::shared_ptr<ScriptedUsbDevice> table;
    boost::shared_ptr<SerialUSB> link;
    boost::shared_ptr<Properties> properties;
};

// Bytes as spaced upper-case hex, so that a failing comparison shows what differed.
inline std::string hexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        if (!text.empty()) text += ' ';
        text += digits[c >> 4];
        text += digits[c & 0xF];
    }
    return text;
}

// Runs call, which must throw an OrbiZoException, and returns it.
template <typename Call>
DeviceDriver::OrbiZo::OrbiZoException thrownBy(Call call) {
    try {
        call();
    } catch (const DeviceDriver::OrbiZo::OrbiZoException& e) {
        return e;
    }
    ADD_FAILURE() << "no OrbiZoException thrown";
    return DeviceDriver::OrbiZo::OrbiZoException(0, "");
}

}  // namespace Testing
}  // namespace Korvane

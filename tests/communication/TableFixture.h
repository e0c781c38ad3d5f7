#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include "communication/AnsweringTable.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "usb/SerialUSB.h"
#include "utilities/OrbiZoException.h"
#include "utilities/Properties.h"

namespace Korvane {
namespace Testing {

// A configured link to an AnsweringTable on the simulated bus, and an empty property table.
// The table's silent reads take their own fixed time whatever latency timer is asked for, so
// the link is configured without one and budgets its reads in the converter's 16 ms.
class TableFixture : public ::testing::Test {
protected:
    using SerialUSB = DeviceDriver::OrbiZo::USB::SerialUSB;
    using Properties = DeviceDriver::OrbiZo::Utilities::Configuration::Properties;

    void SetUp() override {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        static int count = 0;
        table = std::make_shared<AnsweringTable>("COMM" + std::to_string(++count));
        Platform::SimulatedUsbBus::instance().plug(table);
        link = boost::make_shared<SerialUSB>();
        link->open(devicePathFor(table->instanceId()));
        link->configure(DeviceDriver::OrbiZo::USB::kKeepConverterLatencyTimer);
        properties = boost::make_shared<Properties>("test");
        table->clearRecord();
    }

    void TearDown() override {
        link.reset();
        Platform::SimulatedUsbBus::instance().unplugAll();
    }

    static std::string answer(const std::string& content) { return AnsweringTable::line(content); }

    std::vector<std::string> sent() const { return table->received(); }

    std::shared_ptr<AnsweringTable> table;
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

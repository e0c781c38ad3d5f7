#include <gtest/gtest.h>

#include "TableFixture.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SerialConverter.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace SimulatorTest {
namespace {

using Korvane::Platform::SimulatedUsbBus;

class UsbIdentity : public TableFixture {};

TEST_F(UsbIdentity, DeviceDescriptorNamesTheProjectIdsAndTheSerialString) {
    const Bytes device = wire->descriptor(1, 0);
    ASSERT_EQ(device.size(), 18u) << hexBytes(device);
    EXPECT_EQ(device[0], 18);
    EXPECT_EQ(device[1], 1);
    EXPECT_EQ(device[8] | (device[9] << 8), Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId);
    EXPECT_EQ(device[10] | (device[11] << 8), Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId);
    EXPECT_EQ(device[17], 1) << "one configuration";

    const Bytes text = wire->descriptor(3, device[16]);
    ASSERT_EQ(text.size(), 2 + 2 * serial.size());
    EXPECT_EQ(text[0], text.size());
    std::string decoded;
    for (std::size_t i = 2; i < text.size(); i += 2) decoded += static_cast<char>(text[i]);
    EXPECT_EQ(decoded, serial);
    EXPECT_EQ(wire->descriptor(3, 0), (Bytes{4, 3, 0x09, 0x04}));
}

TEST_F(UsbIdentity, ConfigurationHasOneInterfaceWithTheTwoBulkEndpoints) {
    const Bytes config = wire->descriptor(2, 0);
    ASSERT_EQ(config.size(), 32u) << hexBytes(config);
    EXPECT_EQ(config[2] | (config[3] << 8), 32);
    EXPECT_EQ(config[4], 1) << "interfaces";
    EXPECT_EQ(config[9 + 4], 2) << "endpoints";
    const Bytes in(config.begin() + 18, config.begin() + 25);
    const Bytes out(config.begin() + 25, config.end());
    EXPECT_EQ(in, (Bytes{7, 5, 0x81, 2, 64, 0, 0}));
    EXPECT_EQ(out, (Bytes{7, 5, 0x02, 2, 64, 0, 0}));
}

TEST_F(UsbIdentity, PresentOnTheBusUnderItsSerialNumberUntilUnplugged) {
    auto present = [&] {
        for (const auto& info : SimulatedUsbBus::instance().presentDevices()) {
            if (info.instanceId == serial) return true;
        }
        return false;
    };
    EXPECT_TRUE(present());
    table->unplug();
    EXPECT_FALSE(present());
    table->plug();
    EXPECT_TRUE(present());
}

class SerialConverter : public TableFixture {};

TEST_F(SerialConverter, EmptyReadIsTheTwoStatusBytesAlone) {
    EXPECT_EQ(hexBytes(wire->readRaw()), "0160");
}

TEST_F(SerialConverter, BytesAreLostUntilDivisorAndFormatAreSet) {
    struct Case {
        const char* name;
        std::uint16_t divisor;
        std::uint16_t format;
        bool understood;
    } cases[] = {{"nothing set", 0, 0, false},
                 {"wrong divisor", 0x1A, 0x0008, false},
                 {"wrong format", 0x34, 0x0007, false},
                 {"both right", 0x34, 0x0008, true}};
    for (const Case& c : cases) {
        wire->close();
        ASSERT_EQ(wire->open(), 0u);  // every open starts the converter afresh
        if (c.divisor) {
            ASSERT_EQ(wire->control(3, c.divisor), 0u);
        }
        if (c.format) {
            ASSERT_EQ(wire->control(4, c.format), 0u);
        }
        const std::string answer = wire->command("a0", std::chrono::milliseconds(100));
        EXPECT_EQ(!answer.empty(), c.understood) << c.name << ": " << show(answer);
    }
    const auto records = table->transcript();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().direction, Korvane::Simulator::WireRecord::Direction::Lost);
    EXPECT_EQ(records.front().bytes, commandLine("a0"));
}

TEST_F(SerialConverter, UnknownVendorRequestStalls) {
    EXPECT_NE(wire->control(0x42, 0), 0u);
}

TEST_F(SerialConverter, LongAnswerComesInPacketsOfSixtyFourEachLedByStatus) {
    ASSERT_EQ(wire->write(commandLine("y1")), 0u);
    const Bytes read = wire->readRaw(131072);
    ASSERT_GT(read.size(), 64u * 10);
    for (std::size_t at = 0; at < read.size(); at += 64) {
        EXPECT_EQ(read[at], 0x01) << "packet at " << at;
        EXPECT_EQ(read[at + 1], 0x60) << "packet at " << at;
    }
    const std::string payload = payloadOf(read);
    const std::size_t expected = 4 + 1 + 0x1A2 * 8 + 12 + 3;
    EXPECT_EQ(payload.size(), expected);
    EXPECT_EQ(payload.back(), '\r');
}

TEST_F(SerialConverter, ReadSmallerThanTheAnswerLeavesTheRestForTheNextRead) {
    ASSERT_EQ(wire->write(commandLine("a2")), 0u);
    const Bytes first = wire->readRaw(64);
    ASSERT_EQ(first.size(), 64u);
    const std::string rest = payloadOf(wire->readRaw());
    EXPECT_EQ(payloadOf(first) + rest, answerLine("$a20"
                                                  "0001e240"
                                                  "00000d80"
                                                  "0000002a"
                                                  "00010000"
                                                  "000003e8"
                                                  "00000007"
                                                  "12345678"));
}

// What request 9 leaves the latency timer at, seen as the wait of a read when nothing is queued
// and as the byte request 10 reads back.
TEST(ConverterLatencyTimer, RequestNineSetsHowLongAnEmptyReadIsHeldAndTenReadsItBack) {
    using Converter = Korvane::Simulator::SerialConverter;
    const struct {
        const char* name;
        bool refused;
        bool ignored;
        std::uint16_t value;
        bool accepted;
        int heldMs;
    } cases[] = {
        {"1 ms", false, false, 1, true, 1},           {"2 ms", false, false, 2, true, 2},
        {"255 ms", false, false, 255, true, 255},     {"0 stalls", false, false, 0, false, 16},
        {"256 stalls", false, false, 256, false, 16}, {"refused", true, false, 2, false, 16},
        {"ignored", false, true, 2, true, 16},
    };
    Korvane::Simulator::TimingModel model;
    model.enabled = true;
    const Converter::Clock::time_point at{};
    for (const auto& c : cases) {
        Converter converter;
        converter.refuseLatencyTimer(c.refused);
        converter.ignoreLatencyTimer(c.ignored);
        std::vector<std::uint8_t> data;
        EXPECT_EQ(converter.control({0x40, 9, c.value, 0, 0}, data, model), c.accepted) << c.name;
        EXPECT_EQ(converter.replyTime(at, at, model) - at, std::chrono::milliseconds(c.heldMs))
            << c.name;
        EXPECT_TRUE(converter.control({0xC0, 10, 0, 0, 1}, data, model)) << c.name;
        EXPECT_EQ(data, std::vector<std::uint8_t>{static_cast<std::uint8_t>(c.heldMs)}) << c.name;
        converter.reset();  // every open starts at the converter's own value again
        EXPECT_EQ(converter.latency(model), std::chrono::milliseconds(16)) << c.name;
    }
}

}  // namespace
}  // namespace SimulatorTest

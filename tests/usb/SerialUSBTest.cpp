#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ScriptedTableFixture.h"
#include "usb/SerialUSB.h"
#include "utilities/ErrorCodes.h"
#include "utilities/OrbiZoException.h"

namespace {

using Korvane::DeviceDriver::OrbiZo::OrbiZoException;
using Korvane::DeviceDriver::OrbiZo::USB::SerialUSB;
using Korvane::Testing::Bytes;
using Korvane::Testing::emptyPacket;
using Korvane::Testing::hex;
using Korvane::Testing::packet;
namespace ErrorCode = Korvane::DeviceDriver::OrbiZo::ErrorCode;

// Payload bytes that show where each one came from: 'A'.. for the first packet, 'a'.. next.
std::string payload(char first, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(first + i % 26);
    return text;
}

std::int32_t codeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const OrbiZoException& e) {
        return e.code;
    }
    return 0;
}

class SerialUSBTest : public Korvane::Testing::ScriptedTableTest {
protected:
    // The link after open; bulk reads that the script does not cover bring status bytes alone.
    void openLink() {
        device->setIdleReply(emptyPacket());
        link.open(path);
    }

    SerialUSB link{clock};
};

TEST_F(SerialUSBTest, TransfersNeedAnOpenLink) {
    const auto notEstablished = [](const std::function<void()>& action) {
        try {
            action();
        } catch (const OrbiZoException& e) {
            EXPECT_EQ(ErrorCode::ConnectionNotEstablished, e.code);
            EXPECT_STREQ("Connection to device not established", e.what());
            return;
        }
        ADD_FAILURE() << "no exception";
    };
    notEstablished([this] { link.configure(); });
    notEstablished([this] { link.read(1, 50); });
    notEstablished([this] { link.write("r"); });

    openLink();
    link.close();
    notEstablished([this] { link.read(1, 50); });
    EXPECT_EQ(0, device->bulkReads());
    EXPECT_TRUE(device->outTransfers().empty());
    EXPECT_TRUE(device->controlRequests().empty());
}

TEST_F(SerialUSBTest, SerialNumberBeforeOpenIsNotOpen) {
    EXPECT_EQ(ErrorCode::DeviceNotOpen, codeOf([this] { link.getSerialNumber(); }));
    openLink();
    EXPECT_EQ(kSerial, link.getSerialNumber());
}

TEST_F(SerialUSBTest, OpenOfAVanishedDeviceSucceedsAndPurgeThrowsTheReadError) {
    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    EXPECT_NO_THROW(link.open(path));
    try {
        link.purgeInput();
        FAIL() << "purge of a device that is not there succeeded";
    } catch (const OrbiZoException& e) {
        EXPECT_EQ(ErrorCode::DeviceReadFailed, e.code);
        EXPECT_STREQ(
            "Device read returned 0 bytes instead of 131072 on pipe 1 with timeout 1000/1000",
            e.what());
    }
}

// The five start-up requests, then the latency timer (request 9) and its read-back (request
// 10, one byte to the host) unless the converter is to keep its own; a silent read of 1000 ms
// then lasts 1000 ms at the latency in effect, and at least 5 reads.
TEST_F(SerialUSBTest, ConfigureSendsTheConverterRequestsInOrder) {
    using Korvane::DeviceDriver::OrbiZo::USB::kKeepConverterLatencyTimer;
    struct Request {
        int type, request, value, length;
    };
    const std::vector<Request> five = {{0x40, 0, 0x0000, 0},
                                       {0x40, 0, 0x0001, 0},
                                       {0x40, 0, 0x0002, 0},
                                       {0x40, 3, 0x0034, 0},
                                       {0x40, 4, 0x0008, 0}};
    const struct {
        std::uint8_t latencyTimerMs;
        bool asked;
        int silentReads;
    } cases[] = {{2, true, 500},
                 {1, true, 1000},
                 {255, true, 5},
                 {16, true, 63},
                 {kKeepConverterLatencyTimer, false, 63}};
    openLink();
    for (const auto& c : cases) {
        SCOPED_TRACE("latency timer " + std::to_string(c.latencyTimerMs));
        link.open(path);  // the converter starts at its own 16 ms again
        const std::size_t before = device->controlRequests().size();
        link.configure(c.latencyTimerMs);
        const auto all = device->controlRequests();
        const std::vector<Korvane::Testing::ScriptedUsbDevice::ControlRecord> requests(
            all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        auto expected = five;
        if (c.asked) {
            expected.push_back({0x40, 9, c.latencyTimerMs, 0});
            expected.push_back({0xC0, 10, 0, 1});
        }
        ASSERT_EQ(expected.size(), requests.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("request " + std::to_string(i));
            EXPECT_EQ(expected[i].type, requests[i].setup.requestType);
            EXPECT_EQ(expected[i].request, requests[i].setup.request);
            EXPECT_EQ(expected[i].value, requests[i].setup.value);
            EXPECT_EQ(0, requests[i].setup.index);
            EXPECT_EQ(expected[i].length, requests[i].setup.length);
        }
        EXPECT_EQ(c.asked ? c.latencyTimerMs : 16, link.latencyTimerMs());
        const int readsBefore = device->bulkReads();
        EXPECT_EQ("", link.read(10, 1000));
        EXPECT_EQ(c.silentReads, device->bulkReads() - readsBefore);
    }
}

// What the converter answers to the read-back is the latency in effect; an answer that is no
// latency timer, or none, leaves the converter's own 16 ms.
TEST_F(SerialUSBTest, TheLatencyReadBackDecidesTheLatencyInEffect) {
    const struct {
        const char* name;
        std::optional<Bytes> answer;  // none: the converter's own (what request 9 set)
        int inEffect;
    } cases[] = {{"taken", std::nullopt, 2},
                 {"kept at 16", Bytes{16}, 16},
                 {"another value", Bytes{7}, 7},
                 {"zero", Bytes{0}, 16},
                 {"no data stage", Bytes{}, 16}};
    openLink();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.answer) device->setControlAnswer(10, *c.answer);
        link.open(path);
        EXPECT_NO_THROW(link.configure(2));
        EXPECT_EQ(c.inEffect, link.latencyTimerMs());
    }
}

TEST_F(SerialUSBTest, WriteSendsTheBytesAsTheyAreInOneTransfer) {
    const std::string line(";a0\x00\xfe\r", 6);
    device->expectOut(Bytes(line.begin(), line.end()));
    openLink();
    link.write(line);
    const auto problems = device->problems();
    EXPECT_TRUE(problems.empty()) << problems.front();
}

// --- Status bytes ---

struct StripCase {
    const char* name;
    Bytes read;             // one bulk read as it arrives
    std::string payload;    // what the link hands out
    std::int32_t code = 0;  // or the error it throws
};

Bytes join(std::initializer_list<Bytes> parts) {
    std::size_t size = 0;
    for (const Bytes& part : parts) size += part.size();
    Bytes all(size);
    auto end = all.begin();
    for (const Bytes& part : parts) end = std::copy(part.begin(), part.end(), end);
    return all;
}

std::vector<StripCase> stripCases() {
    const std::string first = payload('A', 62);
    const std::string second = payload('a', 62);
    return {
        {"Packet64", packet(first), first},
        {"Packet64AndStatusOnly", join({packet(first), emptyPacket()}), first},
        {"TwoPacketsAndStatusOnly", join({packet(first), packet(second), emptyPacket()}),
         first + second},
        {"TwoPacketsAndShortOne", join({packet(first), packet(second), packet("xyz")}),
         first + second + "xyz"},
        {"ShortPacket", packet("xyz"), "xyz"},
        {"StatusOnly", emptyPacket(), ""},
        {"OneBytePastAPacket", join({packet(first), Bytes{0x01}}), "",
         ErrorCode::LastPacketOneByte},
    };
}

class PacketStripping : public SerialUSBTest, public testing::WithParamInterface<StripCase> {};

TEST_P(PacketStripping, HandsOutThePayloadOnly) {
    const StripCase& c = GetParam();
    device->queueIn(c.read);
    openLink();
    if (c.code != 0) {
        try {
            link.read(1000, 50);
            FAIL() << "no exception for " << hex(c.read);
        } catch (const OrbiZoException& e) {
            EXPECT_EQ(c.code, e.code);
            EXPECT_STREQ("last package contains only one byte", e.what());
        }
        return;
    }
    // Asking for more than arrived runs the attempts out on empty reads.
    EXPECT_EQ(c.payload, link.read(1000, 50));
}

INSTANTIATE_TEST_SUITE_P(Reads, PacketStripping, testing::ValuesIn(stripCases()),
                         [](const testing::TestParamInfo<StripCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SerialUSBTest, ReadWithStatusBitClearCountsAsEmpty) {
    device->queueIn(packet("stale", 0x00));
    device->queueIn(packet("fresh"));
    openLink();
    EXPECT_EQ("fresh", link.read(5, 50));
    EXPECT_EQ(2, device->bulkReads());
}

TEST_F(SerialUSBTest, LastAttemptWithStatusBitClearKeepsItsPayloadForTheNextRead) {
    for (int i = 0; i < 4; ++i) device->queueIn(emptyPacket());
    device->queueIn(packet("late", 0x00));
    openLink();
    EXPECT_EQ("", link.read(4, 50));  // 50 ms: 5 attempts
    EXPECT_EQ(5, device->bulkReads());
    EXPECT_EQ("late", link.read(4, 50));
    EXPECT_EQ(5, device->bulkReads());
}

// --- Attempt budget ---

struct BudgetCase {
    std::uint32_t timeoutMs;
    int bulkReads;
};

class ReadBudget : public SerialUSBTest, public testing::WithParamInterface<BudgetCase> {};

// The converter keeps its 16 ms: a silent read lasts until its time-out has passed, and at
// least 5 reads.
TEST_P(ReadBudget, SilentTableIsReadUntilTheTimeOutHasPassed) {
    openLink();
    std::string got = "unset";
    EXPECT_NO_THROW(got = link.read(10, GetParam().timeoutMs));
    EXPECT_EQ("", got);
    EXPECT_EQ(GetParam().bulkReads, device->bulkReads());
}

INSTANTIATE_TEST_SUITE_P(Timeouts, ReadBudget,
                         testing::Values(BudgetCase{0, 5}, BudgetCase{50, 5}, BudgetCase{80, 5},
                                         BudgetCase{81, 6}, BudgetCase{1000, 63},
                                         BudgetCase{1008, 63}, BudgetCase{1009, 64}),
                         [](const testing::TestParamInfo<BudgetCase>& info) {
                             return std::to_string(info.param.timeoutMs) + "ms";
                         });

TEST_F(SerialUSBTest, ReadsThatBringDataDoNotUseUpTheBudget) {
    std::string expected;
    for (char c = '0'; c <= '9'; ++c) {
        device->queueIn(packet(std::string(1, c)));
        expected += c;
    }
    openLink();
    // Ten reads with data against a budget of 5 attempts.
    EXPECT_EQ(expected, link.read(10, 50));
    EXPECT_EQ(10, device->bulkReads());
}

TEST_F(SerialUSBTest, LeftoverPayloadIsHandedOutFirst) {
    device->queueIn(packet("ABCDEFGHIJKLMN"));
    device->queueIn(packet("12345678"));
    openLink();
    EXPECT_EQ("ABCDEFGHIJ", link.read(10, 50));
    EXPECT_EQ(1, device->bulkReads());
    EXPECT_EQ("KLMN123456", link.read(10, 50));
    EXPECT_EQ(2, device->bulkReads());
    EXPECT_EQ("78", link.read(2, 50));
    EXPECT_EQ(2, device->bulkReads());
}

TEST_F(SerialUSBTest, ReadOfNothingTouchesNoPipe) {
    openLink();
    EXPECT_EQ("", link.read(0, 1000));
    EXPECT_EQ(0, device->bulkReads());
}

TEST_F(SerialUSBTest, PurgeThrowsAwayWhatWasQueued) {
    device->queueIn(packet("old answer"));
    openLink();
    link.purgeInput();
    EXPECT_EQ(1, device->bulkReads());
    device->queueIn(packet("new"));
    EXPECT_EQ("new", link.read(3, 50));
}

TEST_F(SerialUSBTest, PurgeOfASilentTableMakesTenAttempts) {
    openLink();
    EXPECT_NO_THROW(link.purgeInput());
    EXPECT_EQ(10, device->bulkReads());
}

TEST_F(SerialUSBTest, StrictReceiveThrowsWhenNoAttemptBringsData) {
    openLink();
    std::int32_t attempts = 3;
    EXPECT_EQ(ErrorCode::ReadTimeout, codeOf([&] { link.receivePackets(attempts, false); }));
    EXPECT_EQ(0, attempts);
    EXPECT_EQ(3, device->bulkReads());

    attempts = 0;
    EXPECT_EQ(ErrorCode::ReadTimeout, codeOf([&] { link.receivePackets(attempts, false); }));
    EXPECT_EQ(3, device->bulkReads());

    device->queueIn(packet("ok"));
    attempts = 3;
    EXPECT_EQ(0, codeOf([&] { link.receivePackets(attempts, false); }));
    EXPECT_EQ(3, attempts);
    EXPECT_EQ("ok", link.read(2, 50));
}

TEST_F(SerialUSBTest, SecondLinkToTheSameTableIsRefusedAsInUse) {
    openLink();
    SerialUSB second;
    EXPECT_EQ(ErrorCode::DeviceInUse, codeOf([&] { second.open(path); }));
    device->queueIn(packet("still mine"));
    EXPECT_EQ("still mine", link.read(10, 50));
}

TEST_F(SerialUSBTest, UnplugDuringUseThrowsInsteadOfHanging) {
    openLink();
    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    EXPECT_NE(0, codeOf([this] { link.read(10, 50); }));
}

}  // namespace

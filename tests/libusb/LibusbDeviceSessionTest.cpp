#include <string>
#include <vector>

#include "libusb/LibusbTestbed.h"
#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {
namespace Testing {

namespace {

constexpr std::uint8_t kLatencyRequest = 0x0A;  // device-to-host, one byte back
constexpr std::uint8_t kLatency = 16;

std::string text(const std::vector<std::uint8_t>& bytes, std::uint32_t length) {
    return std::string(bytes.begin(), bytes.begin() + length);
}

class LibusbDeviceSessionTest : public LibusbTestbed {
protected:
    void SetUp() override {
        LibusbTestbed::SetUp();
        if (IsSkipped()) return;
        table = plugTable("1-4", 2, "ZO3-000123");
        startHost();
        session = openOrFail("1-4");
        ASSERT_NE(session, nullptr);
    }
    void TearDown() override {
        session.reset();
        LibusbTestbed::TearDown();
    }

    // Writes bytes to bulk OUT 2 and waits for the write to finish.
    void write(const std::string& bytes) {
        std::vector<std::uint8_t> buffer(bytes.begin(), bytes.end());
        Completion done;
        ASSERT_EQ(session->submitBulk(0x02, buffer.data(),
                                      static_cast<std::uint32_t>(buffer.size()), done.callback()),
                  ERROR_SUCCESS);
        ASSERT_TRUE(done.wait());
        EXPECT_EQ(done.error, ERROR_SUCCESS);
        EXPECT_EQ(done.transferred, buffer.size());
    }

    std::shared_ptr<ScriptedUsbDevice> table;
    std::unique_ptr<UsbDeviceSession> session;
};

TEST_F(LibusbDeviceSessionTest, ConverterSetupRequestsReachTheTableInOrder) {
    const std::vector<UsbSetupPacket> setup{{0x40, 0, 0x0000, 0, 0},
                                            {0x40, 0, 0x0001, 0, 0},
                                            {0x40, 0, 0x0002, 0, 0},
                                            {0x40, 3, 0x0034, 0, 0},
                                            {0x40, 4, 0x0008, 0, 0}};
    for (const UsbSetupPacket& request : setup) {
        std::uint32_t transferred = 99;
        EXPECT_EQ(session->controlTransfer(request, nullptr, transferred), ERROR_SUCCESS);
        EXPECT_EQ(transferred, 0u);
    }
    const auto seen = table->controlRequests();
    ASSERT_EQ(seen.size(), setup.size());
    for (std::size_t i = 0; i < setup.size(); ++i) {
        SCOPED_TRACE("request " + std::to_string(i));
        EXPECT_EQ(seen[i].setup.requestType, setup[i].requestType);
        EXPECT_EQ(seen[i].setup.request, setup[i].request);
        EXPECT_EQ(seen[i].setup.value, setup[i].value);
        EXPECT_EQ(seen[i].setup.index, setup[i].index);
        EXPECT_EQ(seen[i].setup.length, setup[i].length);
    }
}

TEST_F(LibusbDeviceSessionTest, ControlDataComesBackAndAStallIsAGeneralFailure) {
    table->setControlAnswer(kLatencyRequest, {kLatency});
    std::uint8_t latency[4] = {};
    std::uint32_t transferred = 0;
    EXPECT_EQ(session->controlTransfer({0xC0, kLatencyRequest, 0, 0, 4}, latency, transferred),
              ERROR_SUCCESS);
    EXPECT_EQ(transferred, 1u);
    EXPECT_EQ(latency[0], kLatency);

    table->failNextControl(1);
    EXPECT_EQ(session->controlTransfer({0x40, 0x09, 0, 0, 0}, nullptr, transferred),
              ERROR_GEN_FAILURE);
}

TEST_F(LibusbDeviceSessionTest, DescriptorsAreReadFromTheDevice) {
    std::vector<std::uint8_t> buffer(64);
    std::uint32_t transferred = 0;
    ASSERT_EQ(session->getDescriptor(1, 0, 0, buffer.data(), 18, transferred), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + transferred),
              table->descriptor(1, 0, 0));

    ASSERT_EQ(session->getDescriptor(3, 3, 0x0409, buffer.data(), 64, transferred), ERROR_SUCCESS);
    const std::vector<std::uint8_t> serial = table->descriptor(3, 3, 0x0409);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + transferred), serial);

    // A short read asks for only what fits.
    ASSERT_EQ(session->getDescriptor(3, 3, 0x0409, buffer.data(), 4, transferred), ERROR_SUCCESS);
    EXPECT_EQ(transferred, 4u);

    EXPECT_EQ(session->getDescriptor(3, 7, 0x0409, buffer.data(), 64, transferred),
              ERROR_GEN_FAILURE);
}

TEST_F(LibusbDeviceSessionTest, CommandAndAnswerCrossTheBulkPipes) {
    write(";a0B1\r");
    EXPECT_EQ(table->outBytes(), ::Korvane::Testing::bytes(";a0B1\r"));

    std::vector<std::uint8_t> answer(4096);
    Completion read;
    ASSERT_EQ(session->submitBulk(0x81, answer.data(), 4096, read.callback()), ERROR_SUCCESS);
    ASSERT_TRUE(read.wait());
    EXPECT_EQ(read.error, ERROR_SUCCESS);
    EXPECT_EQ(text(answer, read.transferred), "\x01\x60:;a0B1\r");
}

TEST_F(LibusbDeviceSessionTest, AnswerLongerThanOnePacketArrivesInPacketsOfSixtyFour) {
    const std::string payload(100, 'x');
    table->answerLines([&](const std::string&) { return payload; });
    write("r\r");

    std::vector<std::uint8_t> answer(4096);
    Completion read;
    ASSERT_EQ(session->submitBulk(0x81, answer.data(), 4096, read.callback()), ERROR_SUCCESS);
    ASSERT_TRUE(read.wait());
    ASSERT_EQ(read.transferred, 104u);
    EXPECT_EQ(text(answer, read.transferred),
              "\x01\x60" + payload.substr(0, 62) + "\x01\x60" + payload.substr(62));
}

TEST_F(LibusbDeviceSessionTest, ReadThatTimesOutIsCancelledAndTheNextExchangeIsClean) {
    table->answerLines([](const std::string& line) {
        return line == "s0\r" ? std::string() : ":" + line;  // s0 goes unanswered
    });
    write("s0\r");
    std::vector<std::uint8_t> first(4096);
    Completion silent;
    ASSERT_EQ(session->submitBulk(0x81, first.data(), 4096, silent.callback()), ERROR_SUCCESS);
    EXPECT_FALSE(silent.hasFinished());
    // The caller's wait ran out: it cancels, and cancel returns after the callback.
    EXPECT_EQ(session->cancelEndpoint(0x81), ERROR_SUCCESS);
    EXPECT_TRUE(silent.hasFinished());
    EXPECT_EQ(silent.error, ERROR_OPERATION_ABORTED);
    EXPECT_EQ(silent.transferred, 0u);
    EXPECT_EQ(table->pendingReads(), 0);

    write("a1\r");
    std::vector<std::uint8_t> second(4096);
    Completion read;
    ASSERT_EQ(session->submitBulk(0x81, second.data(), 4096, read.callback()), ERROR_SUCCESS);
    ASSERT_TRUE(read.wait());
    EXPECT_EQ(read.error, ERROR_SUCCESS);
    EXPECT_EQ(text(second, read.transferred), "\x01\x60:a1\r");
}

TEST_F(LibusbDeviceSessionTest, UnplugEndsAPendingReadAndEverythingAfterIt) {
    std::vector<std::uint8_t> buffer(4096);
    Completion read;
    ASSERT_EQ(session->submitBulk(0x81, buffer.data(), 4096, read.callback()), ERROR_SUCCESS);
    bridge(0).unplug();
    ASSERT_TRUE(read.wait()) << "the read never completed";
    EXPECT_EQ(read.error, ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(read.transferred, 0u);

    Completion never;
    EXPECT_EQ(session->submitBulk(0x81, buffer.data(), 4096, never.callback()),
              ERROR_DEVICE_NOT_CONNECTED);
    std::uint32_t transferred = 0;
    EXPECT_EQ(session->controlTransfer({0x40, 0, 0, 0, 0}, nullptr, transferred),
              ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(session->cancelEndpoint(0x81), ERROR_SUCCESS);
    session.reset();  // closing a dead device returns
    EXPECT_FALSE(never.hasFinished());
}

TEST_F(LibusbDeviceSessionTest, CloseEndsPendingTransfersBeforeItReturns) {
    std::vector<std::uint8_t> buffer(4096);
    Completion read;
    ASSERT_EQ(session->submitBulk(0x81, buffer.data(), 4096, read.callback()), ERROR_SUCCESS);
    session.reset();
    EXPECT_TRUE(read.hasFinished());
    EXPECT_EQ(read.error, ERROR_OPERATION_ABORTED);
    EXPECT_EQ(bridge(0).releases(), 1);
}

TEST_F(LibusbDeviceSessionTest, EndpointsTheInterfaceLacksAreRefusedWithoutSideEffects) {
    std::uint8_t byte = 0;
    Completion never;
    for (std::uint8_t endpoint : {0x00, 0x82, 0x03, 0x84, 0x85}) {
        SCOPED_TRACE(static_cast<int>(endpoint));
        EXPECT_EQ(session->submitBulk(endpoint, &byte, 1, never.callback()),
                  ERROR_INVALID_PARAMETER);
        EXPECT_EQ(session->cancelEndpoint(endpoint), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(session->resetEndpoint(endpoint), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(never.hasFinished());
    EXPECT_EQ(session->cancelEndpoint(0x81), ERROR_SUCCESS);  // nothing pending
    EXPECT_EQ(session->resetEndpoint(0x81), ERROR_SUCCESS);
    EXPECT_EQ(session->resetEndpoint(0x02), ERROR_SUCCESS);
}

}  // namespace

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane

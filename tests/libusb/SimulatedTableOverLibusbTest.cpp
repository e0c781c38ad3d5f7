#include <string>
#include <vector>

#include "libusb/LibusbTestbed.h"
#include "platform/win32/Win32.h"
#include "simulator/LineFormat.h"
#include "simulator/SimulatedTable.h"
#include "support/ScriptedUsbDevice.h"

namespace Korvane {
namespace Platform {
namespace Testing {

namespace {

using Simulator::LineFormat;
using Simulator::SimulatedTable;

// The simulated table behind the fake kernel: what the updater's link does at start (the
// converter's five requests), then one command and its answer line, packets unwrapped.
class SimulatedTableOverLibusbTest : public LibusbTestbed {
protected:
    void SetUp() override {
        LibusbTestbed::SetUp();
        if (IsSkipped()) return;
        table = SimulatedTable::create("OZ3S000042");
        bridges.push_back(std::make_unique<UsbfsBridge>(testbed, table, "2-1", 7));
        startHost();
        session = openOrFail("2-1");
        ASSERT_NE(session, nullptr);
    }
    void TearDown() override {
        session.reset();
        LibusbTestbed::TearDown();
    }

    void configure() {
        const UsbSetupPacket requests[] = {{0x40, 0, 0x0000, 0, 0},
                                           {0x40, 0, 0x0001, 0, 0},
                                           {0x40, 0, 0x0002, 0, 0},
                                           {0x40, 3, 0x0034, 0, 0},
                                           {0x40, 4, 0x0008, 0, 0}};
        for (const UsbSetupPacket& request : requests) {
            std::uint32_t transferred = 0;
            ASSERT_EQ(session->controlTransfer(request, nullptr, transferred), ERROR_SUCCESS);
        }
    }

    void send(const std::string& body) {
        std::string line = body + LineFormat::hex(LineFormat::checksum(body), 2) + "\r";
        Completion done;
        ASSERT_EQ(session->submitBulk(0x02, reinterpret_cast<std::uint8_t*>(&line[0]),
                                      static_cast<std::uint32_t>(line.size()), done.callback()),
                  ERROR_SUCCESS);
        ASSERT_TRUE(done.wait());
        ASSERT_EQ(done.error, ERROR_SUCCESS);
    }

    // Bulk reads until a CR arrives (at most 50 reads), status bytes of every packet dropped.
    std::string answerLine() {
        std::string payload;
        std::vector<std::uint8_t> buffer(4096);
        for (int attempt = 0; attempt < 50 && payload.find('\r') == std::string::npos; ++attempt) {
            Completion read;
            EXPECT_EQ(session->submitBulk(0x81, buffer.data(), 4096, read.callback()),
                      ERROR_SUCCESS);
            if (!read.wait() || read.error != ERROR_SUCCESS) break;
            payload += ::Korvane::Testing::payloadOf(
                ::Korvane::Testing::Bytes(buffer.begin(), buffer.begin() + read.transferred));
        }
        return payload;
    }

    std::shared_ptr<SimulatedTable> table;
    std::unique_ptr<UsbDeviceSession> session;
};

TEST_F(SimulatedTableOverLibusbTest, VersionCommandIsAnsweredThroughTheFakeKernel) {
    configure();
    send(";a1");
    const std::string line = answerLine();
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line[0], ':');
    EXPECT_NE(line.find("a1"), std::string::npos) << line;
    EXPECT_NE(line.find("0107"), std::string::npos) << line;  // factory application 1.07
    EXPECT_EQ(table->commandCount(), 1u);
}

TEST_F(SimulatedTableOverLibusbTest, SerialNumberStringComesFromTheTable) {
    std::uint8_t device[18] = {};
    std::uint32_t transferred = 0;
    ASSERT_EQ(session->getDescriptor(1, 0, 0, device, 18, transferred), ERROR_SUCCESS);
    ASSERT_EQ(transferred, 18u);
    std::uint8_t text[64] = {};
    ASSERT_EQ(session->getDescriptor(3, device[16], 0, text, 64, transferred), ERROR_SUCCESS);
    std::string serial;
    for (std::uint32_t i = 2; i + 1 < transferred; i += 2) serial += static_cast<char>(text[i]);
    EXPECT_EQ(serial, "OZ3S000042");
}

}  // namespace

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane

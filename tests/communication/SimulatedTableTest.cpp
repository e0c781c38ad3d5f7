#include <cstdlib>
#include <numeric>

#include <gtest/gtest.h>

#include "communication/OrbiTableComFlash.h"
#include "communication/OrbiTableComInfo.h"
#include "communication/OrbiTableComManager.h"
#include "communication/OrbiTableComMisc.h"
#include "communication/TableFixture.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatedTable.h"
#include "utilities/ErrorCodes.h"

namespace Korvane {
namespace Testing {
namespace {

using DeviceDriver::OrbiZo::Communication::OrbiTableComManager;
using Simulator::Fault;
using Simulator::SimulatedTable;
namespace ErrorCode = DeviceDriver::OrbiZo::ErrorCode;

// The communication layer end to end against the simulated table.
class SimulatedTableRun : public ::testing::Test {
protected:
    void SetUp() override {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        static int count = 0;
        table = SimulatedTable::create("COMMSIM" + std::to_string(++count));
        table->driveClock(clock);
        table->plug();
        manager = std::make_unique<OrbiTableComManager>(
            devicePathFor(table->serialNumber()), DeviceDriver::OrbiZo::USB::kDefaultLatencyTimerMs,
            clock);
    }
    void TearDown() override {
        manager.reset();
        table->unplug();
        Platform::SimulatedUsbBus::instance().unplugAll();
    }

    // Restart into the bootloader and open lock block 0 (sectors 4 to 14).
    void enterBootloader() {
        manager->miscGroup()->resetTable(false);
        manager->miscGroup()->bootBreak(0);
        manager->flashGroup()->unlockBlock(0);
        ASSERT_TRUE(table->inBootloader());
    }

    std::shared_ptr<Utilities::VirtualClock> clock = std::make_shared<Utilities::VirtualClock>();
    std::shared_ptr<SimulatedTable> table;
    std::unique_ptr<OrbiTableComManager> manager;
};

std::vector<std::uint8_t> sectorPattern() {
    std::vector<std::uint8_t> data(8192);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + 5);
    return data;
}

TEST_F(SimulatedTableRun, FactoryTableIdentifies) {
    std::uint32_t value1 = 0, version = 0, value3 = 0;
    manager->infoGroup()->readVersion(value1, version, value3);
    EXPECT_EQ(version, 0x107u);
    EXPECT_EQ(manager->serialNumber(), table->serialNumber());
    EXPECT_EQ(manager->infoGroup()->readStatus(), 1);
    EXPECT_TRUE(manager->propertiesContainer()->find("44463") != nullptr);
}

TEST_F(SimulatedTableRun, ProgramsAndVerifiesASectorThroughAnswerFaults) {
    enterBootloader();
    // Faults the exchange has to ride out: a refused and a busy RAM write (tried again after
    // 100 ms), noise before an answer.
    table->inject(Fault::nak("u9", 3));
    table->inject(Fault::busy("u9", 10));
    table->inject(Fault::noiseBefore("u0", "\x7f?\r"));

    const auto flash = manager->flashGroup();
    const std::vector<std::uint8_t> data = sectorPattern();
    std::uint32_t number = 0;
    flash->prepareSectors(5, 5);
    flash->eraseSectors(5, 5);
    EXPECT_TRUE(flash->blankCheckSectors(5, 5, number));
    flash->writeFlash(data, 5 * 8192, 2);
    const std::uint32_t sum = std::accumulate(data.begin(), data.end(), 0u);
    EXPECT_EQ(flash->readChecksum(5 * 8192, 5 * 8192 + 8191), sum);

    const std::vector<std::uint8_t> contents = table->flashContents();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), contents.begin() + 5 * 8192));
    EXPECT_FALSE(flash->blankCheckSectors(5, 5, number));
}

TEST_F(SimulatedTableRun, DeviceErrorOfTheBootloader) {
    enterBootloader();
    // Sector 1 lies in lock block 2, which is still locked.
    const auto e = thrownBy([&] { manager->flashGroup()->prepareSectors(1, 1); });
    EXPECT_STREQ(e.what(), "Can't prepare sector: sector locked (7)");
    EXPECT_EQ(e.code, ErrorCode::PrepareFailed);
}

TEST_F(SimulatedTableRun, AnswerInTwoPartsIsJoined) {
    // With the converter's latency timer on, an empty read takes 16 ms, so the read time-out
    // spans the pause between the two parts as it does on a table.
    Simulator::TimingModel timing;
    timing.enabled = true;
    table->setTiming(timing);
    table->inject(Fault::split("a0", 3, std::chrono::milliseconds(40)));
    EXPECT_EQ(manager->infoGroup()->readStatus(), 1);
}

TEST_F(SimulatedTableRun, AnswerWithAWrongChecksumIsNotTaken) {
    table->inject(Fault::wrongChecksum("a0"));
    const auto e = thrownBy([&] { manager->infoGroup()->readStatus(); });
    EXPECT_EQ(e.code, ErrorCode::UnknownAcknowledge);
    EXPECT_EQ(manager->infoGroup()->readStatus(), 1);  // the next exchange is clean
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane

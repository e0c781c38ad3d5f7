#include <gtest/gtest.h>

#include "TableFixture.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatorEnvironment.h"

namespace SimulatorTest {
namespace {

using Korvane::Simulator::SimulatorEnvironment;
using Korvane::Simulator::TimingModel;
using Korvane::Simulator::WireRecord;
using std::chrono::milliseconds;

class Timing : public TableFixture {};

TEST_F(Timing, OffByDefault) {
    EXPECT_FALSE(table->timing().enabled);
}

TEST_F(Timing, ByteTimeAtTheConfiguredDivisor) {
    EXPECT_EQ(TimingModel::byteTime(0x34).count(), 173);
    EXPECT_EQ(TimingModel::byteTime(0x1A).count(), 87);
}

TEST_F(Timing, CommandsDuringASlowActionGetBusy) {
    TimingModel model;
    model.enabled = true;
    model.erasePerSector = std::chrono::seconds(30);  // far beyond the test
    table->setTiming(model);
    wire->enterBootloader();
    ASSERT_EQ(wire->command("uA508214"), answerLine("$uA0"));
    ASSERT_EQ(wire->command("u0ee"), answerLine("$u00"));
    ASSERT_EQ(wire->write(commandLine("u2ee")), 0u);
    EXPECT_EQ(wire->readLines(1), answerLine("!u20"));
    EXPECT_EQ(wire->command("a0"), answerLine("#a0"));
    EXPECT_EQ(wire->readLines(1, milliseconds(50)), "") << "no completion line yet";
}

TEST_F(Timing, MeasurementSendsItsHeaderFirst) {
    TimingModel model;
    model.enabled = true;
    model.measurement = std::chrono::seconds(30);
    table->setTiming(model);
    ASSERT_EQ(wire->write(commandLine("c4")), 0u);
    std::string got;
    for (int i = 0; i < 10 && got.size() < 5; ++i) got += payloadOf(wire->readRaw());
    EXPECT_EQ(got, ":$c40");
}

class Transcript : public TableFixture {};

TEST_F(Transcript, RecordsBothDirectionsAndWhatTheTableDid) {
    table->clearTranscript();
    wire->command("a0");
    wire->command("r");
    const auto records = table->transcript();
    ASSERT_EQ(records.size(), 6u) << table->transcriptText();
    EXPECT_EQ(records[0].direction, WireRecord::Direction::ToTable);
    EXPECT_EQ(records[0].bytes, commandLine("a0"));
    EXPECT_EQ(records[1].direction, WireRecord::Direction::FromTable);
    EXPECT_EQ(records[1].bytes, answerLine("$a00010000"));
    EXPECT_EQ(records[2].bytes, commandLine("r"));
    EXPECT_EQ(records[3].direction, WireRecord::Direction::Event);
    EXPECT_EQ(records[3].bytes, "reset: application 0107");
    EXPECT_EQ(records[4].bytes, answerLine("!r0"));
    EXPECT_EQ(records[5].bytes, answerLine("$r0")) << "completion line";
    for (std::size_t i = 1; i < records.size(); ++i) {
        EXPECT_GE(records[i].seconds, records[i - 1].seconds);
    }
    EXPECT_NE(table->transcriptText().find("> ;a034\\r"), std::string::npos)
        << table->transcriptText();
}

// What main does at start-up: the host the settings choose is registered and their tables are
// plugged once, with stable serial numbers and the timing model they ask for.
TEST(SimulatorEnvironment, StartsTheSettingsTablesOnce) {
    Korvane::Utilities::RunSettings settings;
    settings.useSimulatedTables(2);
    settings.setSimulatorTiming(true);
    const auto tables = SimulatorEnvironment::start(settings);
    EXPECT_EQ(&Korvane::Platform::UsbPortRegistration::host(),
              &Korvane::Platform::SimulatedUsbBus::instance());
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0]->serialNumber(), "OZ3S000001");
    EXPECT_EQ(tables[1]->serialNumber(), "OZ3S000002");
    EXPECT_TRUE(tables[0]->timing().enabled);
    EXPECT_EQ(SimulatorEnvironment::plugTables(Korvane::Utilities::RunSettings()), tables);
    std::vector<std::string> present;
    for (const auto& info : Korvane::Platform::SimulatedUsbBus::instance().presentDevices()) {
        present.push_back(info.instanceId);
    }
    for (const auto& table : tables) {
        EXPECT_NE(std::find(present.begin(), present.end(), table->serialNumber()), present.end());
        table->unplug();
    }
}

}  // namespace
}  // namespace SimulatorTest

#pragma once

// A fresh simulated table on the bus, opened and configured through the USB host interface.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "TableWire.h"
#include "simulator/SimulatedTable.h"

namespace SimulatorTest {

class TableFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> next{1};
        serial = "TEST" + std::to_string(next++);
        table = Korvane::Simulator::SimulatedTable::create(serial);
        table->plug();
        wire = std::make_unique<TableWire>(serial);
        wire->configure();
    }

    void TearDown() override {
        wire.reset();
        table->unplug();
    }

    // Pulls the table out and puts it back, then opens and configures it again.
    void replug() {
        wire.reset();
        table->unplug();
        table->plug();
        wire = std::make_unique<TableWire>(serial);
        wire->configure();
    }

    std::string serial;
    std::shared_ptr<Korvane::Simulator::SimulatedTable> table;
    std::unique_ptr<TableWire> wire;
};

}  // namespace SimulatorTest

#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QString>

#include "app/UpdaterApplication.h"
#include "simulator/SimulatedTable.h"

// The one application object of the test binary (offscreen unless a platform is chosen), created on
// first use on the main thread.
UpdaterApplication& guiApplication();

// Generous deadline for things the tables and threads do; never a timing check.
constexpr int kDeadlineMs = 30000;

// Tests that drive application objects over simulated tables on the process's simulated bus.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Waits for the pool's start-up checks and pulls every table out.
    void TearDown() override;

    // A table with factory firmware (1.07), plugged in.
    std::shared_ptr<Korvane::Simulator::SimulatedTable> plugTable(const std::string& serial);
    // The complete embedded firmware file.
    static QByteArray embeddedFirmware();

    std::vector<std::shared_ptr<Korvane::Simulator::SimulatedTable>> tables;
};

#pragma once

// The table's firmware as the host sees it: which of its two programs runs (application or
// bootloader), the commands both know (a0 status, a1 version, r reset, o0 boot break), busy
// while a slow action runs, and "&" for codes the running program does not know.
//
// Reset (r, or power-on): the bootloader starts; it hands over to the application when the
// flash holds a valid one (ApplicationHeader), unless a boot break (o0) arrives within the
// boot-break window after the reset. Locks and prepared sectors do not survive a reset; the
// flash does.

#include <chrono>
#include <cstdint>
#include <string>

#include "simulator/ApplicationCommands.h"
#include "simulator/BootloaderCommands.h"
#include "simulator/FlashMemory.h"
#include "simulator/LineFormat.h"
#include "simulator/TableReply.h"
#include "simulator/TimingModel.h"

namespace Korvane {
namespace Simulator {

class CommandInterpreter {
public:
    using Clock = std::chrono::steady_clock;
    enum class Mode { Application, Bootloader };

    // Status values (low three bits of a0's first byte).
    static constexpr std::uint8_t kStandby = 1;
    static constexpr std::uint8_t kBootloaderStatus = 4;
    // a1's first and third values: hardware revision and bootloader version.
    static constexpr std::uint16_t kHardwareRevision = 0x0003;
    static constexpr std::uint8_t kBootloaderVersion = 0x12;

    explicit CommandInterpreter(FlashMemory& flash);

    // Restarts the firmware as at power-on or after r, effective at `at`.
    void reset(Clock::time_point at);

    // One accepted command line that arrived at `at`.
    TableReply handle(const CommandLine& command, Clock::time_point at, const TimingModel& timing);

    // Data characters of the command's answer in the running program (0 for those without).
    std::size_t answerLength(const std::string& code) const;

    Mode mode() const { return running; }
    // a1's version word: the application header's, 0 without a valid application.
    std::uint16_t firmwareVersion() const;
    void setBootBreakWindow(std::chrono::milliseconds window) { bootBreakWindow = window; }
    BootloaderCommands& bootloader() { return boot; }

private:
    TableReply status() const;
    TableReply version() const;
    TableReply restart(Clock::time_point at, const TimingModel& timing);
    TableReply bootBreak(Clock::time_point at);

    FlashMemory& flash;
    BootloaderCommands boot;
    ApplicationCommands application;
    Mode running = Mode::Bootloader;
    Clock::time_point bootBreakUntil;
    Clock::time_point busyUntil;
    std::chrono::milliseconds bootBreakWindow{1000};
};

}  // namespace Simulator
}  // namespace Korvane

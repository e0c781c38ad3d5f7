#include "simulator/CommandInterpreter.h"

#include "simulator/ApplicationHeader.h"

namespace Korvane {
namespace Simulator {

namespace {

// The application answers o0 with this once the window after a reset has passed.
constexpr std::uint8_t kTooLateForBootBreak = 1;

}  // namespace

CommandInterpreter::CommandInterpreter(FlashMemory& flash) : flash(flash), boot(flash) {}

void CommandInterpreter::reset(Clock::time_point at) {
    boot.reset();
    application.reset();
    ApplicationHeader header;
    running = flash.application(header) ? Mode::Application : Mode::Bootloader;
    bootBreakUntil = at + bootBreakWindow;
    busyUntil = at;
}

std::uint16_t CommandInterpreter::firmwareVersion() const {
    ApplicationHeader header;
    return flash.application(header) ? header.version : 0;
}

std::size_t CommandInterpreter::answerLength(const std::string& code) const {
    if (code == "a0") return 6;
    if (code == "a1") return 10;
    return running == Mode::Application ? application.answerLength(code)
                                        : BootloaderCommands::answerLength(code);
}

TableReply CommandInterpreter::handle(const CommandLine& command, Clock::time_point at,
                                      const TimingModel& timing) {
    if (at < busyUntil) return TableReply::busy();
    const std::string& c = command.code;
    TableReply reply;
    if (c == "a0") {
        reply = status();
    } else if (c == "a1") {
        reply = version();
    } else if (c == "r") {
        reply = restart(at, timing);
    } else if (c == "o0") {
        reply = bootBreak(at);
    } else if (running == Mode::Application ? !application.handle(command, timing, reply)
                                            : !boot.handle(command, timing, reply)) {
        reply = TableReply::nak();
    }
    if (reply.acknowledge == '!') busyUntil = at + reply.actionTime;
    return reply;
}

TableReply CommandInterpreter::status() const {
    const std::uint8_t state = running == Mode::Application ? kStandby : kBootloaderStatus;
    return TableReply::withData(LineFormat::hex(state, 2) + "0000");
}

TableReply CommandInterpreter::version() const {
    return TableReply::withData(LineFormat::hex(kHardwareRevision, 4) +
                                LineFormat::hex(firmwareVersion(), 4) +
                                LineFormat::hex(kBootloaderVersion, 2));
}

TableReply CommandInterpreter::restart(Clock::time_point at, const TimingModel& timing) {
    const auto time = timing.enabled ? timing.reset : std::chrono::microseconds(0);
    reset(at + time);
    TableReply reply = TableReply::accepted(time);
    reply.event = running == Mode::Application
                      ? "reset: application " + LineFormat::hex(firmwareVersion(), 4)
                      : std::string("reset: bootloader (no valid application)");
    return reply;
}

TableReply CommandInterpreter::bootBreak(Clock::time_point at) {
    if (running == Mode::Bootloader) return TableReply::done();
    if (at > bootBreakUntil) return TableReply::failed(kTooLateForBootBreak);
    running = Mode::Bootloader;
    TableReply reply = TableReply::done();
    reply.event = "boot break: bootloader";
    return reply;
}

}  // namespace Simulator
}  // namespace Korvane

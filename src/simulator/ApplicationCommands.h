#pragma once

// The commands of the table's application firmware beyond the ones every mode knows:
// a2 metrics; y1-y5 the measurement buffer (two series, settable size) and two words;
// f0-f4 two switches; c2-c6 a flag, a trigger and two values; s0/s1 the motors.
// A reset (or power-on) brings all of it back to its start values.

#include <cstdint>
#include <string>

#include "simulator/LineFormat.h"
#include "simulator/TableReply.h"
#include "simulator/TimingModel.h"

namespace Korvane {
namespace Simulator {

class ApplicationCommands {
public:
    // Buffer size limits of y2 (error 1 below, 2 above) and its start value.
    static constexpr std::uint16_t kMinBufferSize = 1;
    static constexpr std::uint16_t kMaxBufferSize = 0x400;
    static constexpr std::uint16_t kStartBufferSize = 0x01A2;
    // Samples the buffer holds; y1 reports min(size, this) of them as valid.
    static constexpr std::uint16_t kSamples = 100;

    ApplicationCommands() { reset(); }

    void reset();

    // False when the code is none of the application's own.
    bool handle(const CommandLine& command, const TimingModel& timing, TableReply& reply);

    // Data characters of the command's answer (0 for those without data).
    std::size_t answerLength(const std::string& code) const;

    bool motorsOn() const { return motors; }

private:
    TableReply bufferRead();
    TableReply setBufferSize(const std::string& arguments);
    TableReply switches(char code2);
    std::string switchValue() const;

    std::uint16_t bufferSize = kStartBufferSize;
    std::uint16_t bufferReads = 0;
    bool switchA = false;
    bool switchB = true;
    bool triggered = false;
    std::uint8_t storedValue = 0;
    bool motors = false;
};

}  // namespace Simulator
}  // namespace Korvane

#pragma once

// One scripted misbehaviour of a simulated table's answer to a command. Tests arm faults on a
// table (SimulatedTable::inject); each fault watches the command lines the table accepts and
// fires on the n-th one with its code (counted from the moment it is armed).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Korvane {
namespace Simulator {

struct Fault {
    enum class Kind {
        Drop,           // the command runs, but nothing it would send reaches the host
        Delay,          // the answer line leaves `delay` later than it would
        Split,          // the answer line leaves in two parts, `delay` apart, cut after `position`
        Corrupt,        // one byte of the answer line is altered (bit 0 flipped), checksum kept
        Noise,          // `noise` goes out before the ':' of the answer line
        WrongChecksum,  // the answer's checksum digits are off by one
        Nak,            // the command is not run; the answer is "&"
        Busy,           // the command is not run; the answer is "#"
        DeviceError,    // the command is not run; the answer carries `errorValue`
    };

    // Corrupt: the byte just before the checksum digits.
    static constexpr std::size_t kLastDataByte = static_cast<std::size_t>(-1);

    Kind kind = Kind::Drop;
    std::string code;         // command code as sent ("a0", "u9", "r"); empty matches every command
    unsigned occurrence = 1;  // 1: the next matching command, n: the n-th, 0: every one
    std::chrono::milliseconds delay{0};
    std::size_t position = 0;
    std::uint8_t errorValue = 0;
    std::string noise;

    static Fault drop(const std::string& code, unsigned occurrence = 1);
    static Fault delayed(const std::string& code, std::chrono::milliseconds delay,
                         unsigned occurrence = 1);
    // The first part holds `firstPart` bytes of the line; the rest follows `pause` later.
    static Fault split(const std::string& code, std::size_t firstPart,
                       std::chrono::milliseconds pause = std::chrono::milliseconds(40),
                       unsigned occurrence = 1);
    static Fault corrupt(const std::string& code, std::size_t position = kLastDataByte,
                         unsigned occurrence = 1);
    static Fault noiseBefore(const std::string& code, const std::string& noise,
                             unsigned occurrence = 1);
    static Fault wrongChecksum(const std::string& code, unsigned occurrence = 1);
    static Fault nak(const std::string& code, unsigned occurrence = 1);
    static Fault busy(const std::string& code, unsigned occurrence = 1);
    static Fault deviceError(const std::string& code, std::uint8_t value, unsigned occurrence = 1);
};

}  // namespace Simulator
}  // namespace Korvane

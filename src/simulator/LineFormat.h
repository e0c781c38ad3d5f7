#pragma once

// The table's side of the line protocol: command lines in (";", code, arguments, two checksum
// digits; the CR already taken off), answer lines out (":", acknowledge, code echo, error
// character, data, two checksum digits, CR).

#include <cstdint>
#include <string>

namespace Korvane {
namespace Simulator {

struct CommandLine {
    std::string code;  // "a0", "u9", ... or "r", the one code of a single character
    std::string arguments;
};

class LineFormat {
public:
    // The 8-bit two's complement of the byte sum: appended, it makes the sum 0 modulo 256.
    static std::uint8_t checksum(const std::string& text);

    // Splits a command line without its CR. False when it is not a command line or its
    // checksum does not add up (the table ignores such a line).
    static bool parseCommand(const std::string& line, CommandLine& command);

    // A complete answer line, CR included. The checksum digits are lower case.
    static std::string answerLine(char acknowledge, const std::string& code, bool withError,
                                  std::uint8_t error, const std::string& data);

    // '0'-'9' for 0 to 9, 'A'-'Z' for 10 to 35; '?' beyond.
    static char errorCharacter(std::uint8_t value);

    // Strict hex reading for arguments: false unless every character is a hex digit (either
    // case) and there is at least one.
    static bool readHex(const std::string& text, std::uint32_t& value);
    static std::string hex(std::uint32_t value, unsigned width);
};

}  // namespace Simulator
}  // namespace Korvane

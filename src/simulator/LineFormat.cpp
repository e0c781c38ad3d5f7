#include "simulator/LineFormat.h"

#include "utilities/HexText.h"

namespace Korvane {
namespace Simulator {

std::uint8_t LineFormat::checksum(const std::string& text) {
    std::uint8_t sum = 0;
    for (unsigned char c : text) sum = static_cast<std::uint8_t>(sum + c);
    return static_cast<std::uint8_t>(0x100 - sum);
}

bool LineFormat::parseCommand(const std::string& line, CommandLine& command) {
    // ";" + at least one code character + two checksum digits.
    if (line.size() < 4 || line[0] != ';') return false;
    std::uint32_t digits = 0;
    if (!readHex(line.substr(line.size() - 2), digits)) return false;
    const std::string body = line.substr(0, line.size() - 2);
    if (checksum(body) != digits) return false;
    // r is the only code of one character; every other code has two.
    const std::size_t codeLength = body[1] == 'r' ? 1 : 2;
    if (body.size() < 1 + codeLength) return false;
    command.code = body.substr(1, codeLength);
    command.arguments = body.substr(1 + codeLength);
    return true;
}

std::string LineFormat::answerLine(char acknowledge, const std::string& code, bool withError,
                                   std::uint8_t error, const std::string& data) {
    std::string line = ":";
    line += acknowledge;
    line += code;
    if (withError) {
        line += errorCharacter(error);
        line += data;
    }
    line += hex(checksum(line), 2);
    line += '\r';
    return line;
}

char LineFormat::errorCharacter(std::uint8_t value) {
    if (value < 10) return static_cast<char>('0' + value);
    if (value < 36) return static_cast<char>('A' + value - 10);
    return '?';
}

bool LineFormat::readHex(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    std::uint32_t result = 0;
    for (char c : text) {
        const int d = Utilities::hexDigitValue(c);
        if (d < 0) return false;
        result = result * 16 + static_cast<std::uint32_t>(d);
    }
    value = result;
    return true;
}

std::string LineFormat::hex(std::uint32_t value, unsigned width) {
    static const char digits[] = "0123456789abcdef";
    std::string text(width, '0');
    for (unsigned i = 0; i < width; ++i) {
        text[width - 1 - i] = digits[value & 0xF];
        value >>= 4;
    }
    return text;
}

}  // namespace Simulator
}  // namespace Korvane

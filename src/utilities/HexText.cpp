#include "utilities/HexText.h"

#include "utilities/OrbiZoException.h"

namespace Korvane { namespace Utilities {

namespace {

// A two-character piece; anything that is not two hex digits reads as 0.
std::uint32_t pieceValue(char high, char low) {
    const int h = hexDigitValue(high);
    const int l = hexDigitValue(low);
    if (h < 0 || l < 0) return 0;
    return static_cast<std::uint32_t>(h * 16 + l);
}

std::uint32_t readHex(std::string text) {
    if (text.size() % 2 != 0) text.insert(text.begin(), '0');
    std::uint32_t result = 0;
    for (std::size_t end = text.size(); end >= 2; end -= 2) {
        const std::size_t after = text.size() - end;
        const unsigned shift = static_cast<unsigned>((4 * after) % 32);
        result += pieceValue(text[end - 2], text[end - 1]) << shift;
    }
    return result;
}

}  // namespace

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

namespace {

std::string formatHex(std::uint32_t value, std::uint16_t width) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text.substr(text.size() - width);
}

}  // namespace

std::int16_t hexToInt16(const std::string& text) {
    return static_cast<std::int16_t>(readHex(text) & 0xFFFF);
}

std::uint16_t hexToUInt16(const std::string& text) {
    return static_cast<std::uint16_t>(readHex(text) & 0xFFFF);
}

std::uint32_t hexToUInt32(const std::string& text) { return readHex(text); }

std::string toHexString(std::uint8_t value, std::uint16_t width) { return formatHex(value, width); }

std::string toHexString(std::uint16_t value, std::uint16_t width) { return formatHex(value, width); }

std::string toHexString(std::uint32_t value, std::uint16_t width) { return formatHex(value, width); }

std::vector<std::uint8_t> hexToBytes(const std::string& text) {
    if (text.size() % 2 != 0) {
        throw DeviceDriver::OrbiZo::OrbiZoException(DeviceDriver::OrbiZo::ErrorCode::OddHexDigits,
                                                    "Hex String contains odd number of digits!");
    }
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        bytes[i / 2] = static_cast<std::uint8_t>(pieceValue(text[i], text[i + 1]));
    }
    return bytes;
}

std::string bytesToHex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) text += formatHex(b, 2);
    return text;
}

}}  // namespace Korvane::Utilities

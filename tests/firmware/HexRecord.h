#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Builds one Intel HEX record line (without line end) with a correct checksum.
inline std::string hexRecord(std::uint8_t type, std::uint16_t address,
                             const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(data.size()),
                                       static_cast<std::uint8_t>(address >> 8),
                                       static_cast<std::uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<std::uint8_t>(-sum));
    std::string line = ":";
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        line += digits;
    }
    return line;
}

inline std::string dataRecord(std::uint16_t address, const std::vector<std::uint8_t>& data) {
    return hexRecord(0x00, address, data);
}

inline std::string upperAddressRecord(std::uint16_t upper) {
    return hexRecord(
        0x04, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper & 0xFF)});
}

// count bytes counting up from first.
inline std::vector<std::uint8_t> byteRun(std::size_t count, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

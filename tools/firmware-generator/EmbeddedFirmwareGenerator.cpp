#include "EmbeddedFirmwareGenerator.h"

#include <cstdio>

#include "simulator/ApplicationHeader.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Tools {

namespace {

using Simulator::ApplicationHeader;

// xorshift32: fully specified here, so the bytes do not depend on the standard library.
class ByteSource {
public:
    std::uint8_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<std::uint8_t>(state >> 24);
    }

private:
    std::uint32_t state = 0x0A0109F3u;
};

void putLittleEndian(std::uint8_t* p, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One record line, CR LF included: count, 16-bit address, type, data, checksum.
std::string record(std::uint8_t type, std::uint16_t address, const std::uint8_t* data,
                   std::size_t count) {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(count),
                                       static_cast<std::uint8_t>(address >> 8),
                                       static_cast<std::uint8_t>(address), type};
    bytes.insert(bytes.end(), data, data + count);
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    bytes.push_back(static_cast<std::uint8_t>(0x100 - sum));

    std::string line = ":";
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        line += digits;
    }
    return line + "\r\n";
}

std::string upperAddressRecord(std::uint16_t upper) {
    const std::uint8_t value[2] = {static_cast<std::uint8_t>(upper >> 8),
                                   static_cast<std::uint8_t>(upper)};
    return record(0x04, 0, value, 2);
}

}  // namespace

std::vector<std::uint8_t> EmbeddedFirmwareGenerator::image() {
    std::vector<std::uint8_t> bytes(kImageLength);
    ByteSource source;
    for (std::size_t i = ApplicationHeader::kSize; i < bytes.size(); ++i) bytes[i] = source.next();

    std::uint32_t sum = 0;
    for (std::size_t i = ApplicationHeader::kSize; i < bytes.size(); ++i) sum += bytes[i];
    std::uint8_t* header = bytes.data();
    for (int i = 0; i < 4; ++i) header[i] = ApplicationHeader::kMagic[i];
    putLittleEndian(header + 4, kVersion, 2);
    putLittleEndian(header + 6, 0, 2);
    putLittleEndian(header + 8, kImageLength, 4);
    putLittleEndian(header + 12, sum, 4);
    return bytes;
}

std::string EmbeddedFirmwareGenerator::fileText() {
    const std::vector<std::uint8_t> bytes = image();
    std::string text;
    std::uint16_t upper = 0;
    text += upperAddressRecord(upper);
    for (std::uint32_t offset = 0; offset < bytes.size(); offset += kBytesPerRecord) {
        const std::uint32_t address = kImageStart + offset;
        if ((address >> 16) != upper) {
            upper = static_cast<std::uint16_t>(address >> 16);
            text += upperAddressRecord(upper);
        }
        text += record(0x00, static_cast<std::uint16_t>(address), bytes.data() + offset,
                       kBytesPerRecord);
    }
    // Start linear address: the first instruction after the header.
    const std::uint32_t entry = kImageStart + ApplicationHeader::kSize;
    const std::uint8_t start[4] = {
        static_cast<std::uint8_t>(entry >> 24), static_cast<std::uint8_t>(entry >> 16),
        static_cast<std::uint8_t>(entry >> 8), static_cast<std::uint8_t>(entry)};
    text += record(0x05, 0, start, 4);
    text += record(0x01, 0, nullptr, 0);
    return text;
}

}  // namespace Tools
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

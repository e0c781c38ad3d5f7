#pragma once

// The header the table's application firmware carries at the start of its image, at flash
// address 0x8000 (the first bytes of sector 4). The bootloader starts the application after a
// reset only when the header checks out; the generator of the embedded firmware writes it.
//
// Layout (all little-endian):
//   +0  magic       4 bytes  'O' 'Z' '3' 'A'
//   +4  version     16 bit   firmware version word (high byte major, low byte minor)
//   +6  reserved    16 bit   0
//   +8  length      32 bit   image length in bytes from 0x8000, header included
//   +12 checksum    32 bit   byte sum of the image after the header (0x8010 .. 0x8000+length-1)

#include <cstddef>
#include <cstdint>

namespace Korvane { namespace Simulator {

struct ApplicationHeader {
    static constexpr std::uint32_t kAddress = 0x8000;
    static constexpr std::uint32_t kSize = 16;
    static constexpr std::uint8_t kMagic[4] = {'O', 'Z', '3', 'A'};
    // The image must end inside program flash (15 sectors of 8192 bytes).
    static constexpr std::uint32_t kFlashEnd = 15 * 8192;

    std::uint16_t version = 0;
    std::uint32_t length = 0;
    std::uint32_t checksum = 0;

    // Reads the header from the flash contents (`flash` holds the whole program flash, from
    // address 0, `size` bytes). Returns false when the magic is wrong, the length does not fit
    // the flash or is shorter than the header, or the checksum does not match the image.
    static bool read(const std::uint8_t* flash, std::size_t size, ApplicationHeader& header) {
        if (size < kAddress + kSize) return false;
        const std::uint8_t* h = flash + kAddress;
        for (int i = 0; i < 4; ++i) {
            if (h[i] != kMagic[i]) return false;
        }
        header.version = static_cast<std::uint16_t>(h[4] | (h[5] << 8));
        header.length = le32(h + 8);
        header.checksum = le32(h + 12);
        if (header.length < kSize || header.length > kFlashEnd - kAddress) return false;
        if (kAddress + header.length > size) return false;
        return imageSum(flash, header.length) == header.checksum;
    }

    // Byte sum of the image after the header, for an image of `length` bytes at kAddress.
    static std::uint32_t imageSum(const std::uint8_t* flash, std::uint32_t length) {
        std::uint32_t sum = 0;
        for (std::uint32_t a = kAddress + kSize; a < kAddress + length; ++a) sum += flash[a];
        return sum;
    }

    static std::uint32_t le32(const std::uint8_t* p) {
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
};

}}  // namespace Korvane::Simulator

#include "simulator/InitialFirmware.h"

#include <algorithm>

#include "simulator/ApplicationHeader.h"

namespace Korvane {
namespace Simulator {

namespace {

// A small linear congruential sequence: code-like bytes without any 0xFF runs to speak of.
std::vector<std::uint8_t> pattern(std::uint32_t seed, std::uint32_t length) {
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t state = seed;
    for (std::uint32_t i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

void putLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> InitialFirmware::applicationImage(std::uint16_t version,
                                                            std::uint32_t length) {
    if (length < ApplicationHeader::kSize) length = ApplicationHeader::kSize;
    std::vector<std::uint8_t> image = pattern(0x5A000000u | version, length);
    for (int i = 0; i < 4; ++i) image[i] = ApplicationHeader::kMagic[i];
    image[4] = static_cast<std::uint8_t>(version & 0xFF);
    image[5] = static_cast<std::uint8_t>(version >> 8);
    image[6] = 0;
    image[7] = 0;
    putLe32(image, 8, length);
    std::uint32_t sum = 0;
    for (std::uint32_t i = ApplicationHeader::kSize; i < length; ++i) sum += image[i];
    putLe32(image, 12, sum);
    return image;
}

void InitialFirmware::load(FlashMemory& flash) {
    flash.write(0, pattern(0xB0071, FlashMemory::kSectorSize));
    std::vector<std::uint8_t> configuration(2 * FlashMemory::kSectorSize, 0xFF);
    const std::vector<std::uint8_t> settings = pattern(0xC0F16, 256);
    std::copy(settings.begin(), settings.end(), configuration.begin());
    flash.write(2 * FlashMemory::kSectorSize, configuration);
    flash.write(ApplicationHeader::kAddress, applicationImage(kFactoryVersion));
}

}  // namespace Simulator
}  // namespace Korvane

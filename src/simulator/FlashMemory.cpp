#include "simulator/FlashMemory.h"

#include <algorithm>

namespace Korvane {
namespace Simulator {

FlashMemory::FlashMemory() : memory(kSize, 0xFF) {}

void FlashMemory::erase(std::uint32_t sector) {
    if (sector >= kSectorCount) return;
    std::fill_n(memory.begin() + sector * kSectorSize, kSectorSize, std::uint8_t{0xFF});
}

void FlashMemory::program(std::uint32_t address, const std::uint8_t* data, std::uint32_t length) {
    if (address >= kSize) return;
    length = std::min(length, kSize - address);
    for (std::uint32_t i = 0; i < length; ++i) memory[address + i] &= data[i];
}

void FlashMemory::write(std::uint32_t address, const std::vector<std::uint8_t>& data) {
    if (address >= kSize) return;
    const std::size_t length = std::min<std::size_t>(data.size(), kSize - address);
    std::copy_n(data.begin(), length, memory.begin() + address);
}

std::uint32_t FlashMemory::sum(std::uint32_t first, std::uint32_t last) const {
    std::uint32_t total = 0;
    for (std::uint32_t a = first; a <= last && a < kSize; ++a) total += memory[a];
    return total;
}

bool FlashMemory::blank(std::uint32_t first, std::uint32_t last, std::uint32_t& offset) const {
    for (std::uint32_t a = first; a <= last && a < kSize; ++a) {
        if (memory[a] != 0xFF) {
            offset = a - first;
            return false;
        }
    }
    return true;
}

bool FlashMemory::application(ApplicationHeader& header) const {
    return ApplicationHeader::read(memory.data(), memory.size(), header);
}

}  // namespace Simulator
}  // namespace Korvane

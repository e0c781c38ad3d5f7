#include "firmware/FlashSectorImage.h"

#include <algorithm>
#include <numeric>

#include <boost/format.hpp>

#include "firmware/FirmwareFileParser.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

namespace {

// The vector checksum word sits at 0x14 among the first eight words of sector 0.
constexpr std::uint32_t kVectorChecksumOffset = 0x14;
constexpr std::uint32_t kVectorTableSize = 0x20;

std::uint32_t readLittleEndian(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

FlashSectorImage::FlashSectorImage() {
    sectors.reserve(kSectorCount);
    for (std::uint32_t i = 0; i < kSectorCount; ++i)
        sectors.emplace_back(i * kSectorSize, kSectorSize);
}

void FlashSectorImage::load(const char* content, std::size_t size) {
    // Every load starts from an untouched flash: a second file never merges with the first.
    for (FlashSector& sector : sectors) sector.release();
    FirmwareFileParser parser(content, size);
    std::uint8_t scratch[1024];
    std::uint32_t address = 0;
    std::uint32_t count = 0;
    while (parser.nextDataRecord(address, scratch, count)) storeRecord(address, scratch, count);
    // Without sector 0 there is no vector table to complete.
    if (sectors.front().hasData()) storeVectorChecksum();
}

void FlashSectorImage::load(const std::vector<std::uint8_t>& content) {
    load(reinterpret_cast<const char*>(content.data()), content.size());
}

std::size_t FlashSectorImage::sectorOf(std::uint32_t address) const {
    for (std::size_t i = 0; i < sectors.size(); ++i) {
        if (sectors[i].contains(address)) return i;
    }
    throw OrbiZoException(ErrorCode::FlashImageAddress,
                          "Sensor firmware file format error: address out of memory map");
}

bool FlashSectorImage::hasSectorData(std::size_t index, std::uint32_t& start) const {
    if (index >= sectors.size() || !sectors[index].hasData()) return false;
    start = sectors[index].start;
    return true;
}

bool FlashSectorImage::copySector(std::size_t index, std::uint32_t address,
                                  std::uint8_t* destination, std::uint32_t size) const {
    if (index >= sectors.size()) return false;
    const FlashSector& sector = sectors[index];
    if (!sector.hasData() || !sector.contains(address)) return false;
    const std::uint32_t offset = address - sector.start;
    const std::uint32_t n = std::min(size, sector.length - offset);
    std::copy_n(sector.data.begin() + offset, n, destination);
    std::fill_n(destination + n, size - n, std::uint8_t{0xFF});
    return true;
}

std::uint32_t FlashSectorImage::sectorSum(std::size_t index) const {
    std::vector<std::uint8_t> bytes(kSectorSize, 0xFF);
    std::uint32_t start = 0;
    if (hasSectorData(index, start)) copySector(index, start, bytes.data(), kSectorSize);
    return byteSum(bytes);
}

std::uint32_t FlashSectorImage::byteSum(const std::vector<std::uint8_t>& bytes) {
    return std::accumulate(bytes.begin(), bytes.end(), std::uint32_t{0});
}

std::uint32_t FlashSectorImage::vectorChecksum() const {
    const std::uint8_t* words = vectorSector().data.data();
    std::uint32_t sum = 0;
    for (std::uint32_t offset = 0; offset < kVectorTableSize; offset += 4) {
        if (offset != kVectorChecksumOffset) sum += readLittleEndian(words + offset);
    }
    return 0u - sum;
}

void FlashSectorImage::storeVectorChecksum() {
    const std::uint32_t value = vectorChecksum();
    std::uint8_t* word = sectors.front().data.data() + kVectorChecksumOffset;
    for (int i = 0; i < 4; ++i) word[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A record may run over a sector end; its bytes then continue in the following sector. If part
// of it lies outside the map, the part before has already been stored when the error is thrown.
// A byte that an earlier record wrote may be written again only with the same value.
void FlashSectorImage::storeRecord(std::uint32_t address, const std::uint8_t* bytes,
                                   std::uint32_t count) {
    std::uint32_t stored = 0;
    do {
        FlashSector& sector = sectors[sectorOf(address + stored)];
        // Allocated even for a zero-length record, which thereby marks its sector as used.
        sector.allocate();
        const std::uint32_t offset = address + stored - sector.start;
        const std::uint32_t n = std::min(count - stored, sector.length - offset);
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint8_t value = bytes[stored + i];
            if (sector.written[offset + i] && sector.data[offset + i] != value) {
                throw OrbiZoException(
                    ErrorCode::FlashImageAddress,
                    (boost::format("Sensor firmware file format error: overlapping records at "
                                   "0x%05x") %
                     (sector.start + offset + i))
                        .str());
            }
            sector.data[offset + i] = value;
            sector.written[offset + i] = true;
        }
        stored += n;
    } while (stored < count);
}

const FlashSector& FlashSectorImage::vectorSector() const {
    if (!sectors.front().hasData()) {
        throw OrbiZoException(ErrorCode::FlashImageAddress,
                              "Sensor firmware file format error: Sector 0 does not exist");
    }
    return sectors.front();
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "firmware/FlashSector.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

// The table's program flash as a firmware file describes it: 15 sectors of 8192 bytes covering
// 0x00000..0x1DFFF, each either untouched by the file or holding file data over an erased
// (0xFF) background. Sector numbers elsewhere are indices into this map. Sector 0 belongs to
// the bootloader and sectors 2 and 3 hold the table's configuration; the download refuses
// images that touch them.
//
// Errors: OrbiZoException FlashImageAddress, besides the parser's FirmwareFileFormat.
class FlashSectorImage {
public:
    static constexpr std::size_t kSectorCount = 15;
    static constexpr std::uint32_t kSectorSize = 0x2000;

    FlashSectorImage();

    // Fills the image from a whole firmware file, starting from an untouched image, then stores
    // the vector checksum into sector 0 when the file gave it data. Two records writing
    // different bytes to one address are refused. Any error abandons the load; the image must
    // then be discarded (or loaded again).
    void load(const char* content, std::size_t size);
    void load(const std::vector<std::uint8_t>& content);

    std::size_t sectorCount() const { return sectors.size(); }

    // Index of the sector holding `address`; throws when no sector does.
    std::size_t sectorOf(std::uint32_t address) const;

    // False for an index beyond the map or a sector without data; otherwise true with the
    // sector's first address in `start`.
    bool hasSectorData(std::size_t index, std::uint32_t& start) const;

    // Copies `size` bytes of sector `index` from `address` on into `destination`; whatever lies
    // beyond the sector's end is filled with 0xFF. False (nothing copied) for an index beyond
    // the map, a sector without data or an address outside the sector.
    bool copySector(std::size_t index, std::uint32_t address, std::uint8_t* destination,
                    std::uint32_t size) const;

    // What the table's checksum over all of sector `index` gives once the sector is programmed
    // from this image: the sum of its bytes, 0xFF where the file wrote nothing (0x1FE000 for a
    // sector without data or an index beyond the map).
    std::uint32_t sectorSum(std::size_t index) const;
    // The same sum over bytes already copied out of a sector.
    static std::uint32_t byteSum(const std::vector<std::uint8_t>& bytes);

    // The word that makes the eight little-endian 32-bit words at the start of sector 0 add up
    // to 0 (the one at 0x14 is excluded from its own sum). Both throw when sector 0 has no data.
    std::uint32_t vectorChecksum() const;
    void storeVectorChecksum();

private:
    void storeRecord(std::uint32_t address, const std::uint8_t* bytes, std::uint32_t count);
    const FlashSector& vectorSector() const;

    std::vector<FlashSector> sectors;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

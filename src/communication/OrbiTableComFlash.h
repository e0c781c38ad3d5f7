#pragma once

#include <cstdint>
#include <vector>

#include "communication/DeviceErrorText.h"
#include "communication/OrbiTableCommunication.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

// The bootloader's in-system programming commands (code u*). Every operation checks its
// arguments before anything is sent and turns a non-zero device error value into an
// OrbiZoException whose text carries deviceErrorText. Only sectors 1 to 14 (0x2000-0x1DFFF)
// may be prepared, erased, blank checked or written; sector 0 holds the bootloader.
class OrbiTableComFlash : public OrbiTableCommunication {
public:
    static constexpr std::uint32_t kSectorSize = 0x2000;
    static constexpr unsigned kSectorShift = 13;
    static constexpr std::uint32_t kFirstWritableAddress = 0x2000;
    static constexpr std::uint32_t kLastFlashAddress = 0x1DFFF;
    static constexpr std::uint32_t kLastRamAddress = 0x1000;

    OrbiTableComFlash(LinkPtr link, PropertiesPtr properties);
    ~OrbiTableComFlash() override;

    void prepareSectors(std::uint16_t startSector, std::uint16_t endSector);
    void eraseSectors(std::uint16_t startSector, std::uint16_t endSector);

    // True when the table reports the range blank. An answer that does not carry the whole
    // six-character data block is never taken as blank. number receives answer characters 1-5.
    bool blankCheckSectors(std::uint16_t startSector, std::uint16_t endSector,
                           std::uint32_t& number);

    // byteCount: 512, 1024 or 4096.
    void copyRamToFlash(std::uint32_t flashAddress, std::uint32_t ramAddress,
                        std::uint32_t byteCount);

    // data: 128 or 256 bytes. A failed exchange is tried again after 100 ms, attempts in all.
    void writeToRam(const std::vector<std::uint8_t>& data, std::uint32_t ramAddress,
                    std::int32_t attempts);

    std::uint32_t readChecksum(std::uint32_t startAddress, std::uint32_t endAddress);

    // Writes data inside one sector, 512 bytes at a time: two RAM writes of up to 256 bytes,
    // a prepare and a copy to flash. flashAddress must lie on a 512-byte boundary and the
    // length be a multiple of 512; both are checked before anything is sent.
    void writeFlash(const std::vector<std::uint8_t>& data, std::uint32_t flashAddress,
                    std::int32_t attempts);

    // block 0, 1 or 2.
    void unlockBlock(std::int32_t block);

private:
    // Runs the record and throws failureMessage (with the device text as %1%) on an error value.
    void run(OrbiTableComCommand& command, std::int32_t failureCode, const char* failureMessage);
};

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <boost/dynamic_bitset.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include "firmware/FlashSectorImage.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {

namespace Communication {
class OrbiTableComManager;
}

namespace Firmware {

// Programs a firmware file into the table's flash through its bootloader, one whole sector at
// a time, and verifies every sector against a locally computed byte sum.
//
// The caller drives it in a fixed order: load, progressValue (the total), prepareDevice, then
// programSector for every index below sectorCount, and finally checkStandby. A failure ends the
// sequence where it happened: nothing is cleaned up, so the table normally stays in its
// bootloader (a later download starts over and recovers it).
//
// All device operations block the calling thread (pauses of 200 ms and 1000 ms included) and
// throw OrbiZoException; nothing is caught here. One thread at a time.
class OrbiZo3FirmwareHandle : private boost::noncopyable {
public:
    // Work units of the fixed steps and of each sector to program (see progressValue).
    static constexpr std::uint32_t kFixedWorkUnits = 1100;
    static constexpr std::uint32_t kSectorWorkUnits = 4250;

    explicit OrbiZo3FirmwareHandle(boost::shared_ptr<Communication::OrbiTableComManager> manager);
    ~OrbiZo3FirmwareHandle();

    // Builds the flash image from the whole file content (a fresh image each time) and marks
    // the sectors holding data, refused as checkImage refuses, before anything is sent. Parser
    // and image errors pass through; after any error nothing is pending.
    void load(const std::vector<std::uint8_t>& content);

    // The download's rules for an image, in this order: no sector 0 (the bootloader), no
    // sector 2 or 3 (the table's configuration), no more than 15 sectors, at least one sector.
    // Returns one bit per image sector, set where the sector holds data.
    static boost::dynamic_bitset<> checkImage(const FlashSectorImage& image);

    // Work still to do: 1100 plus 4250 per sector not yet programmed and verified.
    std::uint32_t progressValue() const;

    // Restarts the table into its bootloader and unlocks the blocks the pending sectors need:
    // block 2 for sector 1, then block 0 for any of sectors 4-14.
    void prepareDevice();

    // Programs and verifies sector `sector` when it is pending; otherwise sends nothing.
    // Clears the sector's pending mark on success.
    void programSector(std::uint16_t sector);

    // Number of sectors of the image (15): the bound of the caller's sector loop.
    std::size_t sectorCount() const;

    // Restarts the table (with the 1000 ms pause) and requires it to report standby. Tries the
    // restart and the query up to three times, except on a table that is gone; the failure
    // then says in `where` that all sectors were verified when they were.
    void checkStandby();

    // Restart without waiting, 200 ms pause, boot break with `mode`.
    void enterBootloader(std::uint8_t mode);

    // Whether sector `sector` still waits to be programmed.
    bool isPending(std::size_t sector) const;

    // The 32-bit byte sum of sector `sector` as programSector writes it (0xFF where the file
    // wrote nothing): what the table's checksum over the sector must be afterwards.
    std::uint32_t imageSectorSum(std::uint16_t sector) const;
    // The table's checksum over the whole of sector `sector`; reads only, in the bootloader.
    std::uint32_t readSectorSum(std::uint16_t sector);

private:
    // The steps of programSector for a sector with data whose image starts at `start`.
    void programAndVerify(std::uint16_t sector, std::uint32_t start);

    boost::shared_ptr<Communication::OrbiTableComManager> manager;
    FlashSectorImage image;
    boost::dynamic_bitset<> pendingSectors;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "firmware/OrbiZo3FirmwareHandle.h"

#include <chrono>
#include <thread>

#include <boost/format.hpp>

#include "communication/OrbiTableComFlash.h"
#include "communication/OrbiTableComInfo.h"
#include "communication/OrbiTableComManager.h"
#include "communication/OrbiTableComMisc.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

using ::Korvane::Utilities::KorvaneException;

namespace {

constexpr std::uint32_t kSectorSize = FlashSectorImage::kSectorSize;
// Sectors the download never writes, and the lock blocks of the sectors it unlocks.
constexpr std::size_t kBootloaderSector = 0;
constexpr std::size_t kFirstConfigurationSector = 2;
constexpr std::size_t kLastConfigurationSector = 3;
constexpr std::size_t kMaxSectors = 15;
constexpr std::size_t kLowBlockSector = 1;   // alone in lock block 2
constexpr std::size_t kHighBlockFirstSector = 4;  // lock block 0 holds sectors 4-14
constexpr std::size_t kHighBlockLastSector = 14;
constexpr std::int32_t kLowBlock = 2;
constexpr std::int32_t kHighBlock = 0;
// Each RAM write of writeFlash is tried up to this often.
constexpr std::int32_t kWriteAttempts = 2;
// The table takes boot break only some time after the restart has been acknowledged.
constexpr std::chrono::milliseconds kBootBreakPause{200};
constexpr std::uint8_t kStandbyStatus = 1;
// Once every sector is verified, the final restart and status query get this many tries: a
// lost answer there must not turn a programmed table into a failed update.
constexpr int kStandbyTries = 3;

// Adds " in sector n" to where a failure during programming happened.
void locateInSector(KorvaneException& failure, std::uint16_t sector) {
    const std::string inSector = (boost::format("in sector %1%") % sector).str();
    failure.where = failure.where.empty() ? inSector : failure.where + " " + inSector;
}

OrbiZoException locatedFailure(std::int32_t code, const std::string& message, const char* command) {
    OrbiZoException failure(code, message);
    failure.where = command;
    return failure;
}

}  // namespace

OrbiZo3FirmwareHandle::OrbiZo3FirmwareHandle(
    boost::shared_ptr<Communication::OrbiTableComManager> manager)
    : manager(std::move(manager)) {}

OrbiZo3FirmwareHandle::~OrbiZo3FirmwareHandle() = default;

void OrbiZo3FirmwareHandle::load(const std::vector<std::uint8_t>& content) {
    pendingSectors.clear();
    image.load(content);
    pendingSectors = checkImage(image);
}

boost::dynamic_bitset<> OrbiZo3FirmwareHandle::checkImage(const FlashSectorImage& image) {
    boost::dynamic_bitset<> sectors(image.sectorCount());
    std::uint32_t start = 0;
    for (std::size_t i = 0; i < image.sectorCount(); ++i)
        sectors[i] = image.hasSectorData(i, start);

    if (sectors[kBootloaderSector])
        throw OrbiZoException(ErrorCode::FirmwareSectorsRefused, "Firmware contains sector 0.");
    if (sectors[kFirstConfigurationSector] || sectors[kLastConfigurationSector])
        throw OrbiZoException(ErrorCode::FirmwareSectorsRefused,
                              "Firmware contains configuration sectors.");
    if (sectors.size() > kMaxSectors)
        throw OrbiZoException(ErrorCode::FirmwareSectorsRefused,
                              "Firmware contains too much sectors.");
    // Nothing to program would restart the table for nothing and report success.
    if (sectors.none())
        throw OrbiZoException(ErrorCode::FirmwareSectorsRefused, "Firmware contains no sectors.");
    return sectors;
}

std::uint32_t OrbiZo3FirmwareHandle::progressValue() const {
    return kFixedWorkUnits + kSectorWorkUnits * static_cast<std::uint32_t>(pendingSectors.count());
}

void OrbiZo3FirmwareHandle::enterBootloader(std::uint8_t mode) {
    manager->miscGroup()->resetTable(false);
    std::this_thread::sleep_for(kBootBreakPause);
    manager->miscGroup()->bootBreak(mode);
}

void OrbiZo3FirmwareHandle::prepareDevice() {
    enterBootloader(0);
    // Block 2 before block 0: the order the bootloader has always been given.
    if (isPending(kLowBlockSector)) manager->flashGroup()->unlockBlock(kLowBlock);
    bool highBlockNeeded = false;
    for (std::size_t s = kHighBlockFirstSector; s <= kHighBlockLastSector; ++s)
        highBlockNeeded = highBlockNeeded || isPending(s);
    if (highBlockNeeded) manager->flashGroup()->unlockBlock(kHighBlock);
}

void OrbiZo3FirmwareHandle::programSector(std::uint16_t sector) {
    // Only what load checked and marked is programmed, and only once.
    std::uint32_t start = 0;
    if (!isPending(sector) || !image.hasSectorData(sector, start)) return;
    try {
        programAndVerify(sector, start);
    } catch (KorvaneException& failure) {
        locateInSector(failure, sector);
        throw;
    }
    pendingSectors[sector] = false;
}

void OrbiZo3FirmwareHandle::programAndVerify(std::uint16_t sector, std::uint32_t start) {
    const auto flash = manager->flashGroup();
    flash->prepareSectors(sector, sector);
    flash->eraseSectors(sector, sector);
    std::uint32_t unused = 0;
    if (!flash->blankCheckSectors(sector, sector, unused))
        throw locatedFailure(ErrorCode::BlankCheckFailedInSector,
                             (boost::format("Blankcheck failed in sector %1%.") % sector).str(),
                             "u3");

    // The whole sector goes out, 0xFF where the file wrote nothing, so that the table's sum
    // over the sector can be compared with ours.
    std::vector<std::uint8_t> buffer(kSectorSize);
    image.copySector(sector, start, buffer.data(), kSectorSize);
    const std::uint32_t address = static_cast<std::uint32_t>(sector) * kSectorSize;
    flash->writeFlash(buffer, address, kWriteAttempts);

    const std::uint32_t sum = FlashSectorImage::byteSum(buffer);
    if (flash->readChecksum(address, address + kSectorSize - 1) != sum)
        throw locatedFailure(ErrorCode::ChecksumErrorInSector,
                             (boost::format("Checksum error in sector %1%.") % sector).str(), "u7");
}

std::size_t OrbiZo3FirmwareHandle::sectorCount() const {
    return image.sectorCount();
}

void OrbiZo3FirmwareHandle::checkStandby() {
    for (int tried = 1;; ++tried) {
        try {
            manager->miscGroup()->resetTable(true);
            if (manager->infoGroup()->readStatus() == kStandbyStatus) return;
            throw locatedFailure(ErrorCode::NotInStandby, "Device not in standby mode", "a0");
        } catch (KorvaneException& failure) {
            // A table that has gone cannot confirm anything more; one that answers badly gets
            // another restart.
            if (tried < kStandbyTries && failure.code != ErrorCode::ConnectionLost) continue;
            if (pendingSectors.none()) {
                failure.where += failure.where.empty() ? "" : "; ";
                failure.where += "all sectors were verified, the restart was not confirmed";
            }
            throw;
        }
    }
}

bool OrbiZo3FirmwareHandle::isPending(std::size_t sector) const {
    return sector < pendingSectors.size() && pendingSectors[sector];
}

std::uint32_t OrbiZo3FirmwareHandle::imageSectorSum(std::uint16_t sector) const {
    return image.sectorSum(sector);
}

std::uint32_t OrbiZo3FirmwareHandle::readSectorSum(std::uint16_t sector) {
    const std::uint32_t address = static_cast<std::uint32_t>(sector) * kSectorSize;
    return manager->flashGroup()->readChecksum(address, address + kSectorSize - 1);
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

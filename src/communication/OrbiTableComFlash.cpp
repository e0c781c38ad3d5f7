#include "communication/OrbiTableComFlash.h"

#include <algorithm>

#include <boost/format.hpp>

#include "utilities/HexText.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

using ::Korvane::Utilities::bytesToHex;
using ::Korvane::Utilities::hexToUInt32;
using ::Korvane::Utilities::toHexString;

namespace {

constexpr std::uint16_t kFirstSector = 1;
constexpr std::uint16_t kLastSector = 14;
constexpr std::uint32_t kFlashBlock = 512;
constexpr std::uint32_t kRamChunk = 256;
constexpr std::size_t kBlankCheckLength = 6;

void checkSector(std::uint16_t sector, std::int32_t code, const char* message) {
    if (sector < kFirstSector || sector > kLastSector) {
        throw OrbiZoException(code, (boost::format(message) % sector).str());
    }
}

std::string sectorRange(std::uint16_t startSector, std::uint16_t endSector) {
    return toHexString(startSector, 1) + toHexString(endSector, 1);
}

// Size codes of the RAM staging transfers; 0 when the count has none.
char writeSizeCode(std::size_t bytes) {
    if (bytes == 128) return '1';
    if (bytes == 256) return '2';
    return 0;
}

char copySizeCode(std::uint32_t bytes) {
    if (bytes == 512) return '3';
    if (bytes == 1024) return '4';
    if (bytes == 4096) return '6';
    return 0;
}

}  // namespace

OrbiTableComFlash::OrbiTableComFlash(LinkPtr link, PropertiesPtr properties)
    : OrbiTableCommunication(std::move(link), std::move(properties)) {}

OrbiTableComFlash::~OrbiTableComFlash() = default;

void OrbiTableComFlash::run(OrbiTableComCommand& command, std::int32_t failureCode,
                            const char* failureMessage) {
    execute(command);
    if (command.errorByte != 0) {
        OrbiZoException failure(
            failureCode,
            (boost::format(failureMessage) % deviceErrorText(command.errorByte)).str());
        failure.where = commandCode(command);
        throw failure;
    }
}

void OrbiTableComFlash::prepareSectors(std::uint16_t startSector, std::uint16_t endSector) {
    checkSector(startSector, ErrorCode::PrepareInvalidSector, "Invalid StartSector: %1%");
    checkSector(endSector, ErrorCode::PrepareInvalidSector, "Invalid EndSector: %1%");
    OrbiTableComCommand command('u', '0', 0);
    command.setArguments(sectorRange(startSector, endSector));
    run(command, ErrorCode::PrepareFailed, "Can't prepare sector: %1%");
}

void OrbiTableComFlash::eraseSectors(std::uint16_t startSector, std::uint16_t endSector) {
    checkSector(startSector, ErrorCode::EraseInvalidSector, "Invalid start sector: %1%");
    checkSector(endSector, ErrorCode::EraseInvalidSector, "Invalid end sector: %1%");
    OrbiTableComCommand command('u', '2', 0);
    command.setArguments(sectorRange(startSector, endSector));
    run(command, ErrorCode::EraseFailed, "Can't erase sector: %1%");
}

bool OrbiTableComFlash::blankCheckSectors(std::uint16_t startSector, std::uint16_t endSector,
                                          std::uint32_t& number) {
    checkSector(startSector, ErrorCode::BlankCheckInvalidSector, "Invalid start sector: %1%");
    checkSector(endSector, ErrorCode::BlankCheckInvalidSector, "Invalid end sector: %1%");
    OrbiTableComCommand command('u', '3', static_cast<std::int32_t>(kBlankCheckLength));
    command.setArguments(sectorRange(startSector, endSector));
    run(command, ErrorCode::BlankCheckFailed, "Can't blank check sector sector: %1%");

    const std::string text = command.responseText();
    number = hexToUInt32(text.substr(std::min<std::size_t>(1, text.size()), 5));
    // An answer without its data block leaves the checksum digits and the CR in the response;
    // a checksum that starts with 0 must not read as "blank". Only a '$' line is sure to carry
    // the whole block (it is read to expectedLength + 1 characters past the echo): after a '!'
    // line with four or five data characters the response is still six characters long.
    const bool wholeBlock = command.acknowledge == OrbiTableComCommand::AckData &&
                            text.size() == kBlankCheckLength &&
                            text.find('\r') == std::string::npos;
    return wholeBlock && text[0] == '0';
}

void OrbiTableComFlash::copyRamToFlash(std::uint32_t flashAddress, std::uint32_t ramAddress,
                                       std::uint32_t byteCount) {
    if (flashAddress < kFirstWritableAddress || flashAddress > kLastFlashAddress) {
        throw OrbiZoException(ErrorCode::CopyInvalidArgument,
                              (boost::format("Invalid Flash address: %1%") % flashAddress).str());
    }
    if (ramAddress > kLastRamAddress) {
        throw OrbiZoException(ErrorCode::CopyInvalidArgument,
                              (boost::format("Invalid RAM address: %1%") % ramAddress).str());
    }
    const char sizeCode = copySizeCode(byteCount);
    if (sizeCode == 0)
        throw OrbiZoException(ErrorCode::CopyInvalidArgument, "Invalid number of bytes");

    OrbiTableComCommand command('u', '1', 0);
    command.setArguments(toHexString(flashAddress, 5) + toHexString(ramAddress, 4) + sizeCode);
    run(command, ErrorCode::CopyFailed, "Can't copy ram to flash: %1%");
}

void OrbiTableComFlash::writeToRam(const std::vector<std::uint8_t>& data, std::uint32_t ramAddress,
                                   std::int32_t attempts) {
    if (ramAddress > kLastRamAddress) {
        throw OrbiZoException(ErrorCode::WriteRamInvalidArgument,
                              (boost::format("Invalid start address: %1%") % ramAddress).str());
    }
    const char sizeCode = writeSizeCode(data.size());
    if (sizeCode == 0) {
        throw OrbiZoException(ErrorCode::WriteRamInvalidArgument, "Invalid number of bytes");
    }

    OrbiTableComCommand command('u', '9', 0);
    command.setArguments(toHexString(ramAddress, 4) + sizeCode + bytesToHex(data));
    command.attempts = attempts;
    command.retryDelay = 100;
    run(command, ErrorCode::WriteRamFailed, "Can't write to ram: %1%");
}

std::uint32_t OrbiTableComFlash::readChecksum(std::uint32_t startAddress,
                                              std::uint32_t endAddress) {
    if (startAddress > kLastFlashAddress) {
        throw OrbiZoException(ErrorCode::ChecksumInvalidAddress,
                              (boost::format("Invalid start address: %1%") % startAddress).str());
    }
    if (endAddress > kLastFlashAddress) {
        throw OrbiZoException(ErrorCode::ChecksumInvalidAddress,
                              (boost::format("Invalid end address: %1%") % endAddress).str());
    }
    OrbiTableComCommand command('u', '7', 8);
    command.setArguments(toHexString(startAddress, 5) + toHexString(endAddress, 5));
    run(command, ErrorCode::ChecksumFailed, "Can't check checksum: %1%");
    return hexToUInt32(command.responseText());
}

void OrbiTableComFlash::writeFlash(const std::vector<std::uint8_t>& data,
                                   std::uint32_t flashAddress, std::int32_t attempts) {
    auto invalid = [](const std::string& message) {
        return OrbiZoException(ErrorCode::WriteFlashInvalidArgument, message);
    };
    if (flashAddress < kFirstWritableAddress || flashAddress > kLastFlashAddress) {
        throw invalid((boost::format("Invalid flash address: %1%") % flashAddress).str());
    }
    if (flashAddress % kFlashBlock != 0) throw invalid("Flash address not on boundary");
    if (data.empty()) throw invalid("No data to send");
    const std::uint64_t last = std::uint64_t{flashAddress} + data.size() - 1;
    if ((flashAddress >> kSectorShift) != (last >> kSectorShift)) {
        throw invalid("Data are not in same sector");
    }
    // Whole 512-byte blocks only: a shorter last block would fail in the table after the
    // blocks before it had been written.
    if (data.size() % kFlashBlock != 0) {
        throw invalid(
            (boost::format("Data length %1% is not a multiple of %2%") % data.size() % kFlashBlock)
                .str());
    }

    const auto sector = static_cast<std::uint16_t>(flashAddress >> kSectorShift);
    std::size_t done = 0;
    std::size_t remaining = data.size();
    while (remaining > 0) {
        std::uint32_t block = 0;
        for (std::uint32_t ramOffset : {0u, kRamChunk}) {
            if (remaining == 0) break;
            const std::size_t chunk = std::min<std::size_t>(remaining, kRamChunk);
            const auto first = data.begin() + static_cast<std::ptrdiff_t>(done + ramOffset);
            writeToRam(std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(chunk)),
                       ramOffset, attempts);
            block += static_cast<std::uint32_t>(chunk);
            remaining -= chunk;
        }
        prepareSectors(sector, sector);
        copyRamToFlash(flashAddress + static_cast<std::uint32_t>(done), 0, block);
        done += block;
    }
}

void OrbiTableComFlash::unlockBlock(std::int32_t block) {
    static const char* const unlockIds[] = {"508214", "663097", "240815"};
    if (block < 0 || block > 2) throw OrbiZoException(ErrorCode::InvalidBlock, "Invalid block");
    OrbiTableComCommand command('u', 'A', 0);
    command.setArguments(unlockIds[block]);
    run(command, ErrorCode::UnlockFailed, "Can't unlock: %1%");
}

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

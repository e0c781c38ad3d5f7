#include "communication/OrbiTableComInfo.h"

#include <boost/format.hpp>

#include "utilities/HexText.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

using ::Korvane::Utilities::hexToBytes;
using ::Korvane::Utilities::hexToInt16;
using ::Korvane::Utilities::hexToUInt16;
using ::Korvane::Utilities::hexToUInt32;
using ::Korvane::Utilities::toHexString;

namespace {

constexpr std::uint32_t kBufferHeader = 12;
constexpr std::uint32_t kCharsPerSlot = 8;  // one entry of list A and one of list B

OrbiZoException bufferError(const std::string& message) {
    return OrbiZoException(ErrorCode::InvalidBufferEntries, message);
}

}  // namespace

OrbiTableComInfo::OrbiTableComInfo(LinkPtr link, PropertiesPtr properties)
    : OrbiTableCommunication(std::move(link), std::move(properties)) {}

OrbiTableComInfo::~OrbiTableComInfo() = default;

std::string OrbiTableComInfo::query(char code1, char code2, std::int32_t expectedLength) {
    OrbiTableComCommand command(code1, code2, expectedLength);
    execute(command);
    try {
        command.checkAnswer();
    } catch (OrbiZoException& failure) {
        failure.where = commandCode(command);
        throw;
    }
    return command.responseText();
}

std::vector<std::uint8_t> OrbiTableComInfo::readStatusBytes() {
    std::string text = query('a', '0', 6);
    if (text.size() % 2 != 0) text += '0';
    return hexToBytes(text);
}

std::uint8_t OrbiTableComInfo::readStatus() {
    const std::vector<std::uint8_t> bytes = readStatusBytes();
    if (bytes.empty()) throw OrbiZoException(ErrorCode::StatusEmpty, "Status empty");
    return bytes[0] & 0x07;
}

void OrbiTableComInfo::readVersion(std::uint32_t& value1, std::uint32_t& value2,
                                   std::uint32_t& value3) {
    const std::string text = query('a', '1', 10);
    value1 = hexToUInt32(text.substr(0, 4));
    value2 = hexToUInt32(text.substr(4, 4));
    value3 = hexToUInt16(text.substr(8, 2));
}

OrbiTableComInfo::TableMetrics OrbiTableComInfo::readMetrics() {
    const std::string text = query('a', '2', 56);
    TableMetrics metrics;
    std::uint32_t TableMetrics::*const members[] = {&TableMetrics::metric1, &TableMetrics::metric2,
                                                    &TableMetrics::metric3, &TableMetrics::metric4,
                                                    &TableMetrics::metric5, &TableMetrics::metric6,
                                                    &TableMetrics::metric7};
    for (std::size_t i = 0; i < 7; ++i) metrics.*members[i] = hexToUInt32(text.substr(i * 8, 8));
    return metrics;
}

std::uint16_t OrbiTableComInfo::readBufferSize() {
    return hexToUInt16(query('y', '3', 4));
}

std::uint16_t OrbiTableComInfo::readWordY4() {
    return hexToUInt16(query('y', '4', 4));
}

std::uint16_t OrbiTableComInfo::readWordY5() {
    return hexToUInt16(query('y', '5', 4));
}

void OrbiTableComInfo::setBufferSize(std::uint16_t size) {
    OrbiTableComCommand command('y', '2', 0);
    command.setArguments(toHexString(size, 4));
    execute(command);
    switch (command.errorByte) {
        case 0:
            return;
        case 1:
            throw OrbiZoException(ErrorCode::BufferTooSmall, "Buffer too small");
        case 2:
            throw OrbiZoException(ErrorCode::BufferTooBig, "Buffer too big");
        default:
            throw OrbiZoException(
                ErrorCode::InfoUnknownError,
                (boost::format("unknown error (%1$02X)") % static_cast<unsigned>(command.errorByte))
                    .str());
    }
}

void OrbiTableComInfo::readBuffer(std::uint16_t slotCount, std::vector<std::int32_t>& listA,
                                  std::vector<std::int32_t>& listB, std::uint16_t& extra) {
    const std::uint32_t length = slotCount * kCharsPerSlot + kBufferHeader;
    const std::string text = query('y', '1', static_cast<std::int32_t>(length));
    if (text.size() != length) {
        throw bufferError(
            (boost::format("Invalid entries (%1% / %2%)") % text.size() % length).str());
    }
    const std::uint32_t total = hexToUInt16(text.substr(0, 4));
    const std::uint32_t valid = hexToUInt16(text.substr(4, 4));
    extra = hexToUInt16(text.substr(8, 4));
    if (valid > total) {
        throw bufferError((boost::format("Valid %1%, Total %2%") % valid % total).str());
    }
    if (total * kCharsPerSlot + kBufferHeader > length) {
        throw bufferError((boost::format("Total %1%, Length %2%") % total % length).str());
    }

    listA.clear();
    listB.clear();
    listA.reserve(valid);
    listB.reserve(valid);
    for (std::uint32_t i = 0; i < valid; ++i) {
        listA.push_back(hexToInt16(text.substr(kBufferHeader + 4 * i, 4)));
    }
    for (std::uint32_t i = 0; i < valid; ++i) {
        listB.push_back(hexToInt16(text.substr(kBufferHeader + 4 * total + 4 * i, 4)));
    }
}

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

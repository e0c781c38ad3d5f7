#include "firmware/FirmwareFileParser.h"

#include <boost/format.hpp>
#include <boost/tokenizer.hpp>

#include "utilities/HexText.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

namespace {

enum RecordType : std::uint8_t {
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegmentAddress = 0x02,
    StartSegmentAddress = 0x03,
    ExtendedLinearAddress = 0x04,
    StartLinearAddress = 0x05,
};

[[noreturn]] void fail(const boost::format& message) {
    throw OrbiZoException(ErrorCode::FirmwareFileFormat, message.str());
}

// Firmware files carry upper-case digits only.
std::uint8_t hexDigit(char c) {
    const int value = ::Korvane::Utilities::hexDigitValue(c);
    if (value >= 0 && !(c >= 'a' && c <= 'f')) return static_cast<std::uint8_t>(value);
    // The code is shown as a signed byte widened to 16 bits: 0x80..0xff print as ff80..ffff.
    const auto code = static_cast<std::int16_t>(static_cast<signed char>(c));
    fail(boost::format("Table firmware file format error: hex number expected 0x%02x") % code);
}

// Byte count that a record of `type` must carry, or -1 when any count goes.
int fixedRecordLength(std::uint8_t type) {
    switch (type) {
        case StartSegmentAddress:
        case StartLinearAddress:
            return 4;
        case ExtendedLinearAddress:
            return 2;
        default:
            return -1;
    }
}

// Walks one record line from position 1, keeping the running byte sum for the checksum.
class RecordCursor {
public:
    explicit RecordCursor(const std::string& line) : line(line) {}

    std::uint8_t byte() {
        if (line.size() < position + 2) {
            fail(boost::format("Table firmware file format error: byte expected in '%1%' at "
                               "position %2%") %
                 line % position);
        }
        const auto value = static_cast<std::uint8_t>((hexDigit(line[position]) << 4) |
                                                     hexDigit(line[position + 1]));
        position += 2;
        sum = static_cast<std::uint8_t>(sum + value);
        return value;
    }

    // Multi-byte values are stored most significant byte first.
    std::uint32_t value(int bytes) {
        std::uint32_t result = 0;
        for (int i = 0; i < bytes; ++i) result = (result << 8) | byte();
        return result;
    }

    // The checksum byte makes the sum of all record bytes 0 modulo 256. Only blanks and tabs
    // may follow it: anything else is a second record or stray text run into this line.
    void checksum() {
        const auto expected = static_cast<std::uint8_t>(0x100 - sum);
        if (byte() != expected) {
            fail(boost::format("Table firmware file checksum error in '%1%'") % line);
        }
        if (line.find_first_not_of(" \t", position) != std::string::npos) {
            fail(boost::format("Table firmware file format error: end of line expected in '%1%'") %
                 line);
        }
    }

private:
    const std::string& line;
    std::size_t position = 1;
    std::uint8_t sum = 0;
};

}  // namespace

FirmwareFileParser::FirmwareFileParser(const char* content, std::size_t size) {
    const std::string text(content, size);
    // LF, CR LF and a lone CR all end a line; the empty piece between CR and LF is dropped
    // like every other empty line.
    const boost::char_separator<char> lineFeed("\r\n");
    const boost::tokenizer<boost::char_separator<char>> pieces(text, lineFeed);
    lines.assign(pieces.begin(), pieces.end());
}

FirmwareFileParser::FirmwareFileParser(const std::vector<std::uint8_t>& content)
    : FirmwareFileParser(reinterpret_cast<const char*>(content.data()), content.size()) {}

bool FirmwareFileParser::nextDataRecord(std::uint32_t& address, std::uint8_t* bytes,
                                        std::uint32_t& count) {
    while (currentLine < lines.size()) {
        const std::string& line = lines[currentLine++];
        if (parseLine(line, address, bytes, count)) return true;
    }
    // A file cut off after a record boundary still parses; only its end record tells.
    if (!endOfFileSeen) {
        throw OrbiZoException(ErrorCode::FirmwareFileFormat,
                              "Table firmware file format error: end of file record missing");
    }
    return false;
}

bool FirmwareFileParser::parseLine(const std::string& line, std::uint32_t& address,
                                   std::uint8_t* bytes, std::uint32_t& count) {
    // A lone CR (a blank line of a CR LF file) and other one-character lines carry nothing.
    if (line.size() <= 1) return false;
    if (line[0] != ':') {
        fail(boost::format("Table firmware file format error: ':' expected in '%1%'.") % line);
    }
    RecordCursor cursor(line);
    const std::uint8_t byteCount = cursor.byte();
    const std::uint32_t recordAddress = cursor.value(2) + extendedLinearAddress;
    const std::uint8_t type = cursor.byte();
    if (type > StartLinearAddress) {
        fail(boost::format("Table firmware file format error: type 0...5 expected in '%1%'") %
             line);
    }
    // Fixed-length records: a different count means the line is not what it claims to be.
    const int fixedLength = fixedRecordLength(type);
    if (fixedLength >= 0 && byteCount != fixedLength) {
        fail(boost::format("Table firmware file format error: byte count mismatch in '%1%'") %
             line);
    }
    switch (type) {
        case Data:
            for (std::uint32_t i = 0; i < byteCount; ++i) bytes[i] = cursor.byte();
            cursor.checksum();
            address = recordAddress;
            count = byteCount;
            return true;
        case ExtendedSegmentAddress:
            throw OrbiZoException(ErrorCode::FirmwareFileFormat,
                                  "Extended Segment Address Record not implemented");
        case ExtendedLinearAddress:
            extendedLinearAddress = cursor.value(2) << 16;
            break;
        case StartSegmentAddress:
        case StartLinearAddress:
            cursor.value(4);  // the start address has no use here
            break;
        default:  // EndOfFile
            cursor.checksum();
            endOfFileSeen = true;
            return false;
    }
    cursor.checksum();
    return false;
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

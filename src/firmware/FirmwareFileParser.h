#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

// Reads a table firmware file (Intel HEX text, upper-case digits only, one record per line)
// record by record. Record types 00 (data), 01 (end of file), 03, 04 (extended linear address)
// and 05 are understood; 02 and anything above 05 are refused. Type 01 does not end the
// parse: lines after it are still read, but a file without one is refused as cut off.
// LF, CR LF and a lone CR all end a line; after a record's checksum only blanks and tabs may
// follow.
//
// Built once per download from the whole file content and discarded after use. Every format
// error throws OrbiZoException FirmwareFileFormat naming the offending line; the caller must not
// continue after an error.
class FirmwareFileParser {
public:
    // The most bytes one data record can carry (its count is a single byte).
    static constexpr std::size_t kMaxRecordBytes = 255;

    // Splits the content into its non-empty lines (at LF, CR LF or CR); nothing is parsed yet.
    FirmwareFileParser(const char* content, std::size_t size);
    explicit FirmwareFileParser(const std::vector<std::uint8_t>& content);

    // Parses lines until one yields a data record and delivers it: the absolute address, the
    // bytes (`bytes` must hold kMaxRecordBytes) and their number. Returns false when no lines
    // remain; throws then if none of them was an end-of-file record.
    bool nextDataRecord(std::uint32_t& address, std::uint8_t* bytes, std::uint32_t& count);

private:
    // Parses one line; true when it was a data record.
    bool parseLine(const std::string& line, std::uint32_t& address, std::uint8_t* bytes,
                   std::uint32_t& count);

    std::vector<std::string> lines;
    std::size_t currentLine = 0;
    // Upper address part from the last type 04 record, already shifted left by 16.
    std::uint32_t extendedLinearAddress = 0;
    bool endOfFileSeen = false;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HexRecord.h"
#include "firmware/FirmwareFileParser.h"
#include "utilities/OrbiZoException.h"

using Korvane::DeviceDriver::OrbiZo::OrbiZoException;
using Korvane::DeviceDriver::OrbiZo::Firmware::FirmwareFileParser;

namespace {

struct Record {
    std::uint32_t address;
    std::vector<std::uint8_t> bytes;
    bool operator==(const Record& o) const { return address == o.address && bytes == o.bytes; }
};

std::ostream& operator<<(std::ostream& os, const Record& r) {
    os << std::hex << "0x" << r.address << " [";
    for (std::uint8_t b : r.bytes) os << ' ' << static_cast<int>(b);
    return os << " ]";
}

std::vector<Record> parseAll(const std::string& text) {
    FirmwareFileParser parser(text.data(), text.size());
    std::vector<Record> records;
    std::uint8_t buffer[FirmwareFileParser::kMaxRecordBytes];
    std::uint32_t address = 0;
    std::uint32_t count = 0;
    while (parser.nextDataRecord(address, buffer, count)) {
        records.push_back({address, std::vector<std::uint8_t>(buffer, buffer + count)});
    }
    return records;
}

// The message of the error parsing `text` throws; fails the test when nothing is thrown or
// the code is wrong.
std::string errorOf(const std::string& text) {
    try {
        parseAll(text);
    } catch (const OrbiZoException& e) {
        EXPECT_EQ(e.code, 0x0A003085) << text;
        return e.what();
    }
    ADD_FAILURE() << "no error for '" << text << "'";
    return {};
}

const std::string kFormat = "Table firmware file format error: ";

}  // namespace

TEST(FirmwareFileParser, MalformedLinesFailWithTheirExactMessage) {
    struct Case {
        std::string line;
        std::string message;
    } cases[] = {
        {"x:00000001FF", kFormat + "':' expected in 'x:00000001FF'."},
        {" :00000001FF", kFormat + "':' expected in ' :00000001FF'."},
        {"ab", kFormat + "':' expected in 'ab'."},
        // Byte expected: %2% is the index of the first missing digit.
        {":0", kFormat + "byte expected in ':0' at position 1"},
        {":00000", kFormat + "byte expected in ':00000' at position 5"},
        {":000000", kFormat + "byte expected in ':000000' at position 7"},
        {":00000001", kFormat + "byte expected in ':00000001' at position 9"},
        {":0200000400", kFormat + "byte expected in ':0200000400' at position 11"},
        {":040000050000", kFormat + "byte expected in ':040000050000' at position 13"},
        {":10000000" + std::string(30, '0'),
         kFormat + "byte expected in ':10000000" + std::string(30, '0') + "' at position 39"},
        {":00000006FA", kFormat + "type 0...5 expected in ':00000006FA'"},
        {":000000FF01", kFormat + "type 0...5 expected in ':000000FF01'"},
        // Type 02 is refused before its data and checksum are looked at.
        {":020000021000EC", "Extended Segment Address Record not implemented"},
        {":0200000210", "Extended Segment Address Record not implemented"},
        {":00000001FE", "Table firmware file checksum error in ':00000001FE'"},
        {":0100000041BF", "Table firmware file checksum error in ':0100000041BF'"},
        {":020000040001F8", "Table firmware file checksum error in ':020000040001F8'"},
        // Hex digits: upper case only; the code is a signed byte widened to 16 bits.
        {":0000000a", kFormat + "hex number expected 0x61"},
        {":0100000041be", kFormat + "hex number expected 0x62"},
        {":0G000001FF", kFormat + "hex number expected 0x47"},
        {":00 00001FF", kFormat + "hex number expected 0x20"},
        {":0000000\r", kFormat + "byte expected in ':0000000' at position 7"},
        {":\x80"
         "0000001FF",
         kFormat + "hex number expected 0xff80"},
        {":0\xff"
         "000001FF",
         kFormat + "hex number expected 0xffff"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf(c.line + "\n"), c.message) << c.line;
    }
}

// Each case is a whole file; its error names the line as split, never with a line end.
TEST(FirmwareFileParser, DamagedFilesFailWithTheirExactMessage) {
    const std::string end = ":00000001FF";
    const std::string data = dataRecord(0x0100, {1, 2});
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {":00000001FE\r\n", "Table firmware file checksum error in ':00000001FE'"},
        {":00000001FE\r", "Table firmware file checksum error in ':00000001FE'"},
        // Two records run together, or stray text, after a checksum.
        {data + end + "\n", kFormat + "end of line expected in '" + data + end + "'"},
        {data + " x\n" + end, kFormat + "end of line expected in '" + data + " x'"},
        {end + ";\n", kFormat + "end of line expected in '" + end + ";'"},
        {hexRecord(0x04, 0, {0, 1}) + "0\n" + end,
         kFormat + "end of line expected in '" + hexRecord(0x04, 0, {0, 1}) + "0'"},
        // The checksum is checked before what follows it.
        {":00000001FEFF\n", "Table firmware file checksum error in ':00000001FEFF'"},
        // Cut off: no end-of-file record anywhere.
        {"", kFormat + "end of file record missing"},
        {"\r\n\n", kFormat + "end of file record missing"},
        {data + "\n" + dataRecord(0x0102, {3}) + "\n", kFormat + "end of file record missing"},
        // Fixed-length records with another count, refused before their data are read.
        {hexRecord(0x03, 0, {1, 2}) + "\n" + end,
         kFormat + "byte count mismatch in '" + hexRecord(0x03, 0, {1, 2}) + "'"},
        {hexRecord(0x04, 0, {0, 1, 0}) + "\n" + end,
         kFormat + "byte count mismatch in '" + hexRecord(0x04, 0, {0, 1, 0}) + "'"},
        {hexRecord(0x05, 0, {}) + "\n" + end,
         kFormat + "byte count mismatch in '" + hexRecord(0x05, 0, {}) + "'"},
        {":0300000400\n" + end, kFormat + "byte count mismatch in ':0300000400'"},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf(c.text), c.message) << c.text;
}

TEST(FirmwareFileParser, CrLfLfAndCrGiveTheSameRecords) {
    const std::vector<std::string> lines = {upperAddressRecord(0),
                                            dataRecord(0x8000, byteRun(16)),
                                            upperAddressRecord(1),
                                            dataRecord(0x0010, byteRun(3, 0xF0)),
                                            hexRecord(0x05, 0, {0, 0, 0x80, 0x10}),
                                            hexRecord(0x01, 0, {})};
    const std::vector<Record> expected = {{0x8000, byteRun(16)}, {0x10010, byteRun(3, 0xF0)}};
    for (const std::string lineEnd : {"\n", "\r\n", "\r", "\n\r", "\r\r\n"}) {
        std::string text;
        for (const std::string& line : lines) text += line + lineEnd;
        EXPECT_EQ(parseAll(text), expected) << testing::PrintToString(lineEnd);
    }
}

TEST(FirmwareFileParser, BlankAndOneCharacterLinesAreSkipped) {
    const std::string a = dataRecord(0x0100, {1, 2});
    const std::string b = dataRecord(0x0200, {3});
    const std::vector<Record> expected = {{0x0100, {1, 2}}, {0x0200, {3}}};
    const std::string end = ":00000001FF";
    const std::string texts[] = {
        "\n\n" + a + "\n\n\n" + b + "\n\n" + end,
        "\r\n" + a + "\r\n\r\n" + b + "\r\n" + end,  // last line without line end
        "x\n" + a + "\n:\n" + b + "\n\x80\n" + end + "\r \r",
        a + "\n" + b + "\n" + end + " \t",  // blanks and tabs may follow a checksum
    };
    for (const std::string& text : texts) EXPECT_EQ(parseAll(text), expected) << text;
    EXPECT_TRUE(parseAll("\n\r\n" + end + "\n").empty());
}

TEST(FirmwareFileParser, UpperAddressAppliesToTheRecordsAfterIt) {
    const std::string text = dataRecord(0xFFF0, {1}) + "\n" + upperAddressRecord(1) + "\n" +
                             dataRecord(0x0000, {2}) + "\n" + dataRecord(0xBFF0, {3}) + "\n" +
                             upperAddressRecord(0) + "\n" + dataRecord(0x8000, {4}) +
                             "\n:00000001FF\n";
    const std::vector<Record> expected = {
        {0xFFF0, {1}}, {0x10000, {2}}, {0x1BFF0, {3}}, {0x8000, {4}}};
    EXPECT_EQ(parseAll(text), expected);
}

TEST(FirmwareFileParser, RecordsAfterEndOfFileAreStillDelivered) {
    const std::string text =
        dataRecord(0x0000, {1}) + "\n:00000001FF\n" + dataRecord(0x0010, {2}) + "\n:00000001FF\n";
    const std::vector<Record> expected = {{0x0000, {1}}, {0x0010, {2}}};
    EXPECT_EQ(parseAll(text), expected);
}

TEST(FirmwareFileParser, CountsFromZeroTo255AreDelivered) {
    const std::string text =
        dataRecord(0x0040, {}) + "\n" + dataRecord(0x1000, byteRun(255)) + "\n:00000001FF";
    const std::vector<Record> expected = {{0x0040, {}}, {0x1000, byteRun(255)}};
    EXPECT_EQ(parseAll(text), expected);
}

TEST(FirmwareFileParser, StartAddressRecordsAreIgnored) {
    const std::string text = hexRecord(0x03, 0, {0x12, 0x34, 0x56, 0x78}) + "\n" +
                             hexRecord(0x05, 0, {0, 1, 0x80, 0}) + "\n" + dataRecord(0x0020, {9}) +
                             "\n:00000001FF\n";
    const std::vector<Record> expected = {{0x0020, {9}}};
    EXPECT_EQ(parseAll(text), expected);
}

TEST(FirmwareFileParser, RecordsBeforeAnErrorAreDeliveredThenTheParseStops) {
    const std::string text = dataRecord(0x0000, {1}) + "\n:00000001FE\n" + dataRecord(0x0010, {2});
    FirmwareFileParser parser(text.data(), text.size());
    std::uint8_t buffer[FirmwareFileParser::kMaxRecordBytes];
    std::uint32_t address = 0;
    std::uint32_t count = 0;
    ASSERT_TRUE(parser.nextDataRecord(address, buffer, count));
    EXPECT_EQ(address, 0u);
    EXPECT_THROW(parser.nextDataRecord(address, buffer, count), OrbiZoException);
}

#include <gtest/gtest.h>

#include <utility>

#include "utilities/HexText.h"
#include "utilities/OrbiZoException.h"

using namespace Korvane::Utilities;
using Korvane::DeviceDriver::OrbiZo::OrbiZoException;

TEST(HexText, ReadsEitherCaseWithLeadingZeroForOddLength) {
    EXPECT_EQ(hexToUInt16("abc"), 0x0ABC);
    EXPECT_EQ(hexToUInt16("ABC"), 0x0ABC);
    EXPECT_EQ(hexToUInt32(""), 0u);
    EXPECT_EQ(hexToUInt32("DeadBeef"), 0xDEADBEEFu);
    EXPECT_EQ(hexToInt16("ffff"), -1);
}

TEST(HexText, BitsBeyondTheWidthAreLost) {
    EXPECT_EQ(hexToUInt16("12345"), 0x2345);
    // Pieces beyond 32 bits wrap their shift around instead of vanishing.
    EXPECT_EQ(hexToUInt32("010000000002"), 0x00000102u);
}

TEST(HexText, NonHexPieceReadsAsZero) {
    EXPECT_EQ(hexToUInt16("zz12"), 0x0012);
    EXPECT_EQ(hexToUInt32("12g4"), 0x1200u);
    EXPECT_EQ(hexToBytes("zz0a"), (std::vector<std::uint8_t>{0x00, 0x0A}));
}

TEST(HexText, ToHexStringPadsOrCutsToWidth) {
    struct Case {
        std::uint32_t value;
        std::uint16_t width;
        const char* text;
    } cases[] = {{0x1F4, 2, "f4"}, {0x1F4, 4, "01f4"}, {0x1234, 2, "34"},
                 {0xA, 4, "000a"}, {0xA, 0, ""},       {0xDEADBEEF, 8, "deadbeef"}};
    for (const Case& c : cases) {
        EXPECT_EQ(toHexString(c.value, c.width), c.text) << std::hex << c.value << " w" << c.width;
    }
    EXPECT_EQ(toHexString(std::uint8_t{0x0B}, 2), "0b");
    EXPECT_EQ(toHexString(std::uint16_t{0xBEEF}, 6), "00beef");
}

TEST(HexText, BytesRoundTrip) {
    EXPECT_EQ(hexToBytes("0aFF"), (std::vector<std::uint8_t>{0x0A, 0xFF}));
    EXPECT_EQ(bytesToHex({0x0A, 0xFF, 0x00}), "0aff00");
    EXPECT_EQ(bytesToHex({}), "");
    EXPECT_TRUE(hexToBytes("").empty());
}

TEST(HexText, OddLengthBytesThrow) {
    try {
        hexToBytes("abc");
        FAIL() << "no exception";
    } catch (const OrbiZoException& e) {
        EXPECT_STREQ(e.what(), "Hex String contains odd number of digits!");
        EXPECT_EQ(e.code, 0x0A002005);
    }
}

TEST(HexText, DigitValueOfEitherCaseOrMinusOne) {
    const std::pair<char, int> cases[] = {{'0', 0},  {'9', 9},  {'a', 10}, {'f', 15}, {'A', 10},
                                          {'F', 15}, {'g', -1}, {'G', -1}, {'/', -1}, {':', -1},
                                          {'@', -1}, {'`', -1}, {' ', -1}, {'\x80', -1}};
    for (const auto& c : cases) EXPECT_EQ(hexDigitValue(c.first), c.second) << c.first;
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HexRecord.h"
#include "firmware/FlashSectorImage.h"
#include "utilities/OrbiZoException.h"

using Korvane::DeviceDriver::OrbiZo::OrbiZoException;
using Korvane::DeviceDriver::OrbiZo::Firmware::FlashSectorImage;

namespace {

constexpr std::uint32_t kSector = FlashSectorImage::kSectorSize;
const char* const kOutOfMap = "Sensor firmware file format error: address out of memory map";
const char* const kNoSector0 = "Sensor firmware file format error: Sector 0 does not exist";

class FlashSectorImageTest : public ::testing::Test {
protected:
    void load(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        text += ":00000001FF\r\n";
        image.load(text.data(), text.size());
    }

    // The whole sector as copySector gives it; empty when it reports no data.
    std::vector<std::uint8_t> sector(std::size_t index) {
        std::uint32_t start = 0;
        if (!image.hasSectorData(index, start)) return {};
        std::vector<std::uint8_t> bytes(kSector);
        EXPECT_TRUE(image.copySector(index, start, bytes.data(), kSector));
        return bytes;
    }

    std::vector<std::size_t> sectorsWithData() {
        std::vector<std::size_t> indices;
        std::uint32_t start = 0;
        for (std::size_t i = 0; i < image.sectorCount(); ++i) {
            if (image.hasSectorData(i, start)) indices.push_back(i);
        }
        return indices;
    }

    template <typename F>
    static void expectError(F f, std::int32_t code, const std::string& message) {
        try {
            f();
            ADD_FAILURE() << "no error, expected " << message;
        } catch (const OrbiZoException& e) {
            EXPECT_EQ(e.code, code);
            EXPECT_EQ(e.what(), message);
        }
    }

    FlashSectorImage image;
};

std::vector<std::uint8_t> erased(std::size_t n) {
    return std::vector<std::uint8_t>(n, 0xFF);
}

}  // namespace

TEST_F(FlashSectorImageTest, MapHasFifteenSectorsOf8192Bytes) {
    EXPECT_EQ(image.sectorCount(), 15u);
    const std::pair<std::uint32_t, std::size_t> cases[] = {
        {0x00000, 0}, {0x01FFF, 0}, {0x02000, 1}, {0x08000, 4}, {0x1BFFF, 13}, {0x1DFFF, 14}};
    for (const auto& c : cases) EXPECT_EQ(image.sectorOf(c.first), c.second) << c.first;
    for (std::uint32_t address : {0x1E000u, 0x20000u, 0xFFFFFFFFu}) {
        expectError([&] { image.sectorOf(address); }, 0x0A003086, kOutOfMap);
    }
}

TEST_F(FlashSectorImageTest, FileWithoutDataLeavesEverySectorEmpty) {
    load({});
    load({upperAddressRecord(1), hexRecord(0x05, 0, {0, 0, 0x80, 0}), ":00000001FF"});
    EXPECT_TRUE(sectorsWithData().empty());
    std::uint8_t buffer[4];
    EXPECT_FALSE(image.copySector(4, 0x8000, buffer, sizeof buffer));
    expectError([&] { image.vectorChecksum(); }, 0x0A003086, kNoSector0);
    expectError([&] { image.storeVectorChecksum(); }, 0x0A003086, kNoSector0);
}

TEST_F(FlashSectorImageTest, RecordDataSitsOnAnErasedSector) {
    load({dataRecord(0x8000, byteRun(16, 1)), dataRecord(0x8100, {0xAA, 0xBB}),
          dataRecord(0x8101, {0xBB, 0xCC})});  // the same byte written twice alike is fine
    EXPECT_EQ(sectorsWithData(), std::vector<std::size_t>{4});
    std::vector<std::uint8_t> expected = erased(kSector);
    std::copy_n(byteRun(16, 1).begin(), 16, expected.begin());
    expected[0x100] = 0xAA;
    expected[0x101] = 0xBB;
    expected[0x102] = 0xCC;
    EXPECT_EQ(sector(4), expected);
}

TEST_F(FlashSectorImageTest, RecordsDisagreeingAboutAByteFailAtItsAddress) {
    const struct {
        std::vector<std::string> lines;
        const char* address;
    } cases[] = {
        {{dataRecord(0x8100, {0xAA, 0xBB, 0xCC}), dataRecord(0x8101, {0xBB, 0, 1})}, "08102"},
        // 0xFF is a written byte too, not the erased background.
        {{dataRecord(0x8100, {0xFF}), dataRecord(0x8100, {0x00})}, "08100"},
        {{dataRecord(0xA000, {1}), upperAddressRecord(1), dataRecord(0xA000, {1}),
          upperAddressRecord(0), dataRecord(0x9FFF, {0, 2})},
         "0a000"},
        {{upperAddressRecord(1), dataRecord(0xBFFF, {1, 2}), dataRecord(0xC000, {3})}, "1c000"},
    };
    for (const auto& c : cases) {
        FlashSectorImage fresh;
        std::string text;
        for (const std::string& line : c.lines) text += line + "\n";
        text += ":00000001FF\n";
        expectError([&] { fresh.load(text.data(), text.size()); }, 0x0A003086,
                    std::string("Sensor firmware file format error: overlapping records at 0x") +
                        c.address);
    }
}

TEST_F(FlashSectorImageTest, ASecondLoadStartsFromAnEmptyImage) {
    load({dataRecord(0x2000, {1}), dataRecord(0xA000, {2})});
    load({dataRecord(0xA000, {3})});  // no overlap with the first file's byte either
    EXPECT_EQ(sectorsWithData(), std::vector<std::size_t>{5});
    EXPECT_EQ(sector(5)[0], 3);
}

TEST_F(FlashSectorImageTest, ZeroLengthRecordMarksItsSector) {
    load({dataRecord(0x6010, {})});
    EXPECT_EQ(sectorsWithData(), std::vector<std::size_t>{3});
    EXPECT_EQ(sector(3), erased(kSector));
}

TEST_F(FlashSectorImageTest, RecordStraddlingASectorEndContinuesInTheNext) {
    load({upperAddressRecord(1), dataRecord(0xBFF8, byteRun(16, 0x10))});  // 0x1BFF8
    EXPECT_EQ(sectorsWithData(), (std::vector<std::size_t>{13, 14}));
    std::vector<std::uint8_t> end13 = erased(kSector), start14 = erased(kSector);
    std::copy_n(byteRun(8, 0x10).begin(), 8, end13.end() - 8);
    std::copy_n(byteRun(8, 0x18).begin(), 8, start14.begin());
    EXPECT_EQ(sector(13), end13);
    EXPECT_EQ(sector(14), start14);
}

TEST_F(FlashSectorImageTest, DataBeyondTheMapFailsTheLoad) {
    const std::vector<std::vector<std::string>> files = {
        {upperAddressRecord(1), dataRecord(0xDFF8, byteRun(16))},  // runs past 0x1DFFF
        {upperAddressRecord(1), dataRecord(0xE000, {1})},
        {upperAddressRecord(2), dataRecord(0x0000, {1})},
        {upperAddressRecord(0xFFFF), dataRecord(0xFFFF, byteRun(2))},
    };
    for (const auto& file : files) {
        FlashSectorImage fresh;
        std::string text;
        for (const std::string& line : file) text += line + "\n";
        text += ":00000001FF\n";
        expectError([&] { fresh.load(text.data(), text.size()); }, 0x0A003086, kOutOfMap);
    }
}

TEST_F(FlashSectorImageTest, CopySectorFillsBeyondTheSectorWith0xFF) {
    load({dataRecord(0xA000, byteRun(16, 0x80))});
    std::vector<std::uint8_t> expected = erased(kSector);
    std::copy_n(byteRun(16, 0x80).begin(), 16, expected.begin());
    EXPECT_EQ(sector(5), expected);

    // From an offset: the last 8 bytes of the sector, then fill up to the requested size.
    std::vector<std::uint8_t> tail(64, 0x00);
    ASSERT_TRUE(image.copySector(5, 0xA000 + 8, tail.data(), 64));
    std::vector<std::uint8_t> expectedTail = erased(64);
    std::copy_n(byteRun(8, 0x88).begin(), 8, expectedTail.begin());
    EXPECT_EQ(tail, expectedTail);

    std::vector<std::uint8_t> end(16, 0x00);
    ASSERT_TRUE(image.copySector(5, 0xBFFF, end.data(), 16));
    EXPECT_EQ(end, erased(16));
}

TEST_F(FlashSectorImageTest, SectorSumCountsErasedBytesAs0xFF) {
    load({dataRecord(0x8000, {0x01, 0x02, 0x03}), dataRecord(0xA000 + kSector - 1, {0x00})});
    const std::uint32_t erasedSector = 0xFF * kSector;
    EXPECT_EQ(image.sectorSum(4), erasedSector - 3 * 0xFF + 6);
    EXPECT_EQ(image.sectorSum(5), erasedSector - 0xFF);
    EXPECT_EQ(image.sectorSum(6), erasedSector);   // no data
    EXPECT_EQ(image.sectorSum(99), erasedSector);  // beyond the map
    EXPECT_EQ(FlashSectorImage::byteSum(sector(4)), image.sectorSum(4));
}

TEST_F(FlashSectorImageTest, CopySectorRefusesWhatIsNotThere) {
    load({dataRecord(0xA000, {1})});
    std::uint8_t buffer[16] = {};
    EXPECT_FALSE(image.copySector(15, 0x1E000, buffer, 16));
    EXPECT_FALSE(image.copySector(4, 0x8000, buffer, 16));  // no data
    EXPECT_FALSE(image.copySector(5, 0x9FFF, buffer, 16));  // before the sector
    EXPECT_FALSE(image.copySector(5, 0xC000, buffer, 16));  // after it
    EXPECT_EQ(buffer[0], 0);

    std::uint32_t start = 0;
    EXPECT_FALSE(image.hasSectorData(15, start));
    EXPECT_FALSE(image.hasSectorData(static_cast<std::size_t>(-1), start));
    ASSERT_TRUE(image.hasSectorData(5, start));
    EXPECT_EQ(start, 0xA000u);
}

TEST_F(FlashSectorImageTest, VectorChecksumReplacesWord0x14OfSector0) {
    // Words 1, 2, 3, 4 and erased words at 0x10, 0x18, 0x1C; the file also writes 0x14.
    std::vector<std::uint8_t> words = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0};
    load({dataRecord(0x0000, words), dataRecord(0x0014, {0x12, 0x34, 0x56, 0x78})});
    // 1 + 2 + 3 + 4 + 3 * 0xFFFFFFFF = 7; its negation is 0xFFFFFFF9.
    EXPECT_EQ(image.vectorChecksum(), 0xFFFFFFF9u);
    const std::vector<std::uint8_t> bytes = sector(0);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 0x14, bytes.begin() + 0x18),
              (std::vector<std::uint8_t>{0xF9, 0xFF, 0xFF, 0xFF}));
    std::uint32_t total = 0;
    for (int w = 0; w < 8; ++w) {
        const std::uint8_t* p = bytes.data() + 4 * w;
        total += p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    EXPECT_EQ(total, 0u);
}

TEST_F(FlashSectorImageTest, ParserErrorsPropagateFromLoad) {
    try {
        load({dataRecord(0x8000, {1}), ":00000002FE"});
        FAIL() << "no error";
    } catch (const OrbiZoException& e) {
        EXPECT_EQ(e.code, 0x0A003085);
        EXPECT_STREQ(e.what(), "Extended Segment Address Record not implemented");
    }
}

#include <gtest/gtest.h>

#include <QFile>
#include <QResource>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "EmbeddedFirmwareGenerator.h"
#include "firmware/FlashSectorImage.h"
#include "simulator/ApplicationHeader.h"

using Korvane::Simulator::ApplicationHeader;
using Korvane::DeviceDriver::OrbiZo::Firmware::FlashSectorImage;
using Korvane::DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator;

namespace {

std::string committedFile() {
    std::ifstream in(ORBIZO3_SOURCE_DIR "/src/resources/FW_Zo3.zof", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.push_back(text.substr(begin, end - begin));
    }
    EXPECT_EQ(begin, text.size()) << "text after the last CR LF";
    return lines;
}

}  // namespace

TEST(EmbeddedFirmware, CommittedFileMatchesTheGenerator) {
    const std::string committed = committedFile();
    ASSERT_FALSE(committed.empty());
    EXPECT_TRUE(committed == EmbeddedFirmwareGenerator::fileText())
        << "src/resources/FW_Zo3.zof is stale: build the target regenerate-embedded-firmware";
}

TEST(EmbeddedFirmware, HasTheRecordLayoutOfTheDefaultFirmware) {
    const std::vector<std::string> lines = crlfLines(EmbeddedFirmwareGenerator::fileText());
    ASSERT_EQ(lines.size(), 5124u);
    EXPECT_EQ(lines[0], ":020000040000FA");
    EXPECT_EQ(lines[2049], ":020000040001F9");
    EXPECT_EQ(lines[5122].substr(0, 9), ":04000005");
    EXPECT_EQ(lines[5123], ":00000001FF");
    // Data records: 16 bytes each, consecutive addresses 0x8000..0xFFF0 then 0x0000..0xBFF0.
    std::uint32_t expected = 0x8000;
    for (std::size_t i = 1; i < 5122; ++i) {
        if (i == 2049) continue;
        char prefix[10];
        std::snprintf(prefix, sizeof prefix, ":10%04X00", expected & 0xFFFF);
        ASSERT_EQ(lines[i].substr(0, 9), prefix) << "line " << i + 1;
        ASSERT_EQ(lines[i].size(), 9u + 32u + 2u) << "line " << i + 1;
        expected += 16;
    }
    EXPECT_EQ(expected, 0x1C000u);
}

TEST(EmbeddedFirmware, LoadsIntoSectors4To13WithAValidApplicationHeader) {
    const std::string text = EmbeddedFirmwareGenerator::fileText();
    FlashSectorImage image;
    image.load(text.data(), text.size());

    std::vector<std::uint8_t> flash(image.sectorCount() * FlashSectorImage::kSectorSize, 0xFF);
    std::vector<std::size_t> filled;
    for (std::size_t i = 0; i < image.sectorCount(); ++i) {
        std::uint32_t start = 0;
        if (!image.hasSectorData(i, start)) continue;
        filled.push_back(i);
        image.copySector(i, start, flash.data() + start, FlashSectorImage::kSectorSize);
    }
    EXPECT_EQ(filled, (std::vector<std::size_t>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));

    ApplicationHeader header;
    ASSERT_TRUE(ApplicationHeader::read(flash.data(), flash.size(), header));
    EXPECT_EQ(header.version, 0x0109);
    EXPECT_EQ(header.length, 0x14000u);
    // The image is the generator's, byte for byte.
    const std::vector<std::uint8_t> bytes = EmbeddedFirmwareGenerator::image();
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), flash.begin() + 0x8000));
}

// The same file with LF, CR LF or CR alone between its lines is the same firmware.
TEST(EmbeddedFirmware, EveryLineEndGivesTheSameImage) {
    const std::string crlf = EmbeddedFirmwareGenerator::fileText();
    const auto imageOf = [](const std::string& text) {
        FlashSectorImage image;
        image.load(text.data(), text.size());
        std::vector<std::uint8_t> flash(image.sectorCount() * FlashSectorImage::kSectorSize, 0);
        for (std::size_t i = 0; i < image.sectorCount(); ++i) {
            std::uint32_t start = 0;
            if (image.hasSectorData(i, start))
                image.copySector(i, start, flash.data() + start, FlashSectorImage::kSectorSize);
        }
        return flash;
    };
    const std::vector<std::uint8_t> expected = imageOf(crlf);
    for (const char* lineEnd : {"\n", "\r"}) {
        std::string text;
        for (const std::string& line : crlfLines(crlf)) text += line + lineEnd;
        EXPECT_TRUE(imageOf(text) == expected) << "line end 0x" << std::hex << int(lineEnd[0]);
    }
}

TEST(EmbeddedFirmware, ResourceIsCompressedAndHoldsTheCommittedFile) {
    const QString path = ":/Resources/FW_Zo3.zof";
    QResource resource(path);
    ASSERT_TRUE(resource.isValid());
    EXPECT_NE(resource.compressionAlgorithm(), QResource::NoCompression);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().toStdString() == committedFile());
}

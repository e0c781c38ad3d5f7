#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "Programming.h"
#include "TableFixture.h"
#include "simulator/InitialFirmware.h"

namespace SimulatorTest {
namespace {

using Korvane::Simulator::InitialFirmware;

std::vector<std::uint8_t> pattern(std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(kSectorSize);
    for (std::uint32_t i = 0; i < kSectorSize; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
    }
    return bytes;
}

// The embedded firmware when it is there; otherwise an image of the same shape: sectors 4 to
// 13 with a valid application header for version 1.09.
std::vector<std::uint8_t> embeddedFlash(std::vector<bool>& sectors) {
    std::ifstream file(ORBIZO3_EMBEDDED_FIRMWARE, std::ios::binary);
    if (file) {
        std::stringstream text;
        text << file.rdbuf();
        return flashFromHex(text.str(), sectors);
    }
    std::vector<std::uint8_t> flash(15 * kSectorSize, 0xFF);
    const auto image = InitialFirmware::applicationImage(0x0109);
    std::copy(image.begin(), image.end(), flash.begin() + 0x8000);
    sectors.assign(15, false);
    for (int s = 4; s <= 13; ++s) sectors[s] = true;
    return flash;
}

class Programming : public TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        wire->enterBootloader();
        ASSERT_EQ(wire->command("uA508214"), answerLine("$uA0"));
    }
};

TEST_F(Programming, FullSectorByHandBuiltLinesVerifiedWithChecksum) {
    const auto bytes = pattern(14);
    EXPECT_EQ(programSector(*wire, 14, bytes), byteSum(bytes));
    const auto flash = table->flashContents();
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), flash.begin() + 14 * kSectorSize));
}

TEST_F(Programming, CopyWithoutEraseOnlyClearsBitsAndTheChecksumShowsIt) {
    const auto first = pattern(1);
    const auto second = pattern(2);
    ASSERT_EQ(programSector(*wire, 14, first), byteSum(first));
    for (std::uint32_t block = 0; block < kSectorSize / 512; ++block) {
        copyBlock(*wire, 14 * kSectorSize + block * 512, second.data() + block * 512);
    }
    std::vector<std::uint8_t> anded(kSectorSize);
    for (std::uint32_t i = 0; i < kSectorSize; ++i) anded[i] = first[i] & second[i];
    const std::string answer = wire->command(
        "u7"
        "1c000"
        "1dfff");
    EXPECT_EQ(answer, answerLine("$u70" + hexText(byteSum(anded), 8)));
    EXPECT_NE(byteSum(anded), byteSum(second));
}

TEST_F(Programming, ResetWithoutValidApplicationStaysInBootloader) {
    EXPECT_EQ(wire->command("u044"), answerLine("$u00"));
    EXPECT_EQ(wire->command("u244"), answerLine("!u20") + answerLine("$u20"));
    ASSERT_EQ(wire->command("r"), answerLine("!r0") + answerLine("$r0"));
    EXPECT_EQ(wire->command("a0"), answerLine("$a00040000"));
    EXPECT_EQ(wire->command("a1"), answerLine("$a10"
                                              "0003"
                                              "0000"
                                              "12"));
    // Still updatable: the bootloader takes commands without a boot break.
    EXPECT_EQ(wire->command("uA508214"), answerLine("$uA0"));
    replug();
    EXPECT_TRUE(table->inBootloader()) << "power-on without an application";
    EXPECT_EQ(wire->command("a1"), answerLine("$a10"
                                              "0003"
                                              "0000"
                                              "12"));
}

TEST_F(Programming, EmbeddedFirmwareSectorBySectorReportsVersion109AfterReset) {
    std::vector<bool> sectors;
    const auto image = embeddedFlash(sectors);
    std::vector<std::uint32_t> order;
    for (std::uint32_t s = 0; s < 15; ++s) {
        if (sectors[s]) order.push_back(s);
    }
    ASSERT_FALSE(order.empty());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::uint32_t s = order[i];
        const std::vector<std::uint8_t> bytes(image.begin() + s * kSectorSize,
                                              image.begin() + (s + 1) * kSectorSize);
        ASSERT_EQ(programSector(*wire, s, bytes), byteSum(bytes)) << "sector " << s;
        if (i + 1 == order.size() / 2) {
            // Half-way the image is incomplete: a reset keeps the bootloader, which then
            // needs its unlock again.
            ASSERT_EQ(wire->command("r"), answerLine("!r0") + answerLine("$r0"));
            EXPECT_EQ(wire->command("a1"), answerLine("$a10"
                                                      "0003"
                                                      "0000"
                                                      "12"));
            ASSERT_EQ(wire->command("uA508214"), answerLine("$uA0"));
        }
    }
    ASSERT_EQ(wire->command("r"), answerLine("!r0") + answerLine("$r0"));
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000"));
    EXPECT_EQ(wire->command("a1"), answerLine("$a10"
                                              "0003"
                                              "0109"
                                              "12"));
    EXPECT_EQ(table->firmwareVersion(), 0x0109);
}

TEST_F(Programming, BootBreakOnlyWithinTheWindowAfterReset) {
    table->setBootBreakWindow(std::chrono::milliseconds(0));
    ASSERT_EQ(wire->command("r"), answerLine("!r0") + answerLine("$r0"));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(wire->command("o0"), answerLine("$o01"));
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000"));
}

}  // namespace
}  // namespace SimulatorTest

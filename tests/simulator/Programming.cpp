#include "Programming.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace SimulatorTest {

std::string hexText(std::uint32_t value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", width, value);
    return text;
}

std::uint32_t byteSum(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return sum;
}

std::string copyBlock(TableWire& wire, std::uint32_t address, const std::uint8_t* block) {
    for (std::uint32_t half = 0; half < 2; ++half) {
        std::string line = "u9" + hexText(half * 256, 4) + "2";
        for (std::uint32_t i = 0; i < 256; ++i) line += hexText(block[half * 256 + i], 2);
        EXPECT_EQ(wire.command(line), answerLine("$u90")) << "RAM write at " << half * 256;
    }
    const std::string sector = hexText(address / kSectorSize, 1);
    EXPECT_EQ(wire.command("u0" + sector + sector), answerLine("$u00"));
    return wire.command("u1" + hexText(address, 5) + "0000" + "3");
}

std::uint32_t programSector(TableWire& wire, std::uint32_t sector,
                            const std::vector<std::uint8_t>& bytes) {
    const std::string s = hexText(sector, 1);
    EXPECT_EQ(wire.command("u0" + s + s), answerLine("$u00")) << "prepare " << sector;
    EXPECT_EQ(wire.command("u2" + s + s), answerLine("!u20") + answerLine("$u20"))
        << "erase " << sector;
    EXPECT_EQ(wire.command("u3" + s + s), answerLine("$u30000000")) << "blank " << sector;
    const std::uint32_t start = sector * kSectorSize;
    for (std::uint32_t block = 0; block < kSectorSize / 512; ++block) {
        EXPECT_EQ(copyBlock(wire, start + block * 512, bytes.data() + block * 512),
                  answerLine("!u10") + answerLine("$u10"))
            << "copy block " << block << " of sector " << sector;
    }
    const std::string answer =
        wire.command("u7" + hexText(start, 5) + hexText(start + kSectorSize - 1, 5));
    if (answer.size() != 16) {
        ADD_FAILURE() << "checksum answer " << show(answer);
        return 0;
    }
    return static_cast<std::uint32_t>(std::stoul(answer.substr(5, 8), nullptr, 16));
}

std::vector<std::uint8_t> flashFromHex(const std::string& text, std::vector<bool>& sectors) {
    std::vector<std::uint8_t> flash(15 * kSectorSize, 0xFF);
    sectors.assign(15, false);
    std::istringstream lines(text);
    std::string line;
    std::uint32_t base = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 11 || line[0] != ':') continue;
        auto byteAt = [&](std::size_t i) {
            return static_cast<std::uint32_t>(std::stoul(line.substr(1 + 2 * i, 2), nullptr, 16));
        };
        const std::uint32_t count = byteAt(0);
        const std::uint32_t offset = byteAt(1) << 8 | byteAt(2);
        const std::uint32_t type = byteAt(3);
        if (type == 4) base = (byteAt(4) << 8 | byteAt(5)) << 16;
        if (type != 0) continue;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t address = base + offset + i;
            if (address >= flash.size()) continue;
            flash[address] = static_cast<std::uint8_t>(byteAt(4 + i));
            sectors[address / kSectorSize] = true;
        }
    }
    return flash;
}

}  // namespace SimulatorTest

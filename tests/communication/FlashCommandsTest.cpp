#include <cstdio>
#include <functional>

#include <gtest/gtest.h>

#include "communication/OrbiTableComFlash.h"
#include "communication/TableFixture.h"
#include "utilities/ErrorCodes.h"

namespace Korvane {
namespace Testing {
namespace {

using DeviceDriver::OrbiZo::Communication::deviceErrorText;
using DeviceDriver::OrbiZo::Communication::OrbiTableComCommand;
using DeviceDriver::OrbiZo::Communication::OrbiTableComFlash;
using DeviceDriver::OrbiZo::Communication::OrbiTableCommunication;
using Bytes = std::vector<std::uint8_t>;
namespace ErrorCode = DeviceDriver::OrbiZo::ErrorCode;

Bytes pattern(std::size_t length) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return bytes;
}

std::string hexOf(const Bytes& bytes, std::size_t first, std::size_t count) {
    std::string text;
    char digits[3];
    for (std::size_t i = first; i < first + count; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        text += digits;
    }
    return text;
}

std::string commandLine(char code2, const std::string& arguments) {
    OrbiTableComCommand command('u', code2, 0);
    command.setArguments(arguments);
    return OrbiTableCommunication::buildFrame(command);
}

class FlashCommands : public TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        flash = std::make_unique<OrbiTableComFlash>(link, properties);
        for (const char* code : {"u0", "u1", "u2", "u9", "uA"}) {
            table->answerCode(code, answer(std::string(":$") + code + "0"));
        }
    }
    void TearDown() override {
        flash.reset();
        TableFixture::TearDown();
    }
    std::unique_ptr<OrbiTableComFlash> flash;
};

struct WireCase {
    const char* name;
    std::function<void(OrbiTableComFlash&)> call;
    const char* bytes;
};

TEST_F(FlashCommands, CommandLinesByteForByte) {
    table->answerCode("u7", answer(":$u7000012345"));
    const WireCase cases[] = {
        {"erase 3", [](OrbiTableComFlash& f) { f.eraseSectors(3, 3); }, "3B 75 32 33 33 62 38 0D"},
        {"copy 512 from RAM 0 to 0x4000",
         [](OrbiTableComFlash& f) { f.copyRamToFlash(0x4000, 0, 512); },
         "3B 75 31 30 34 30 30 30 30 30 30 30 33 33 38 0D"},
        {"checksum 0x4000-0x5FFF",
         [](OrbiTableComFlash& f) { EXPECT_EQ(f.readChecksum(0x4000, 0x5FFF), 0x12345u); },
         "3B 75 37 30 34 30 30 30 30 35 66 66 66 38 65 0D"},
    };
    for (const WireCase& c : cases) {
        table->clearRecord();
        c.call(*flash);
        ASSERT_EQ(sent().size(), 1u) << c.name;
        EXPECT_EQ(hexBytes(sent()[0]), c.bytes) << c.name;
    }
}

TEST_F(FlashCommands, WriteToRamSendsAddressSizeCodeAndData) {
    const Bytes data = pattern(256);
    flash->writeToRam(Bytes(data.begin(), data.begin() + 128), 0x0100, 1);
    flash->writeToRam(data, 0x1000, 1);
    ASSERT_EQ(sent().size(), 2u);
    EXPECT_EQ(sent()[0], commandLine('9', "01001" + hexOf(data, 0, 128)));
    EXPECT_EQ(sent()[1], commandLine('9', "10002" + hexOf(data, 0, 256)));
    EXPECT_EQ(sent()[1].size(), 523u);
}

// A write the converter refuses while the table is present costs one try, not the command.
TEST_F(FlashCommands, RefusedWriteIsSentAgainByTheNextTry) {
    const Bytes data = pattern(128);
    const std::string line = commandLine('9', "01001" + hexOf(data, 0, 128));
    table->failNextBulk(1);
    flash->writeToRam(data, 0x0100, 2);
    EXPECT_EQ(sent(), std::vector<std::string>{line});

    table->clearRecord();
    table->failNextBulk(1);
    const auto e = thrownBy([&] { flash->writeToRam(data, 0x0100, 1); });
    EXPECT_EQ(e.code, ErrorCode::WriteFailed);
    EXPECT_STREQ(e.what(), "Write to device failed");
    EXPECT_EQ(e.where, "u9");
    EXPECT_TRUE(sent().empty());
}

TEST_F(FlashCommands, UnlockSendsTheBlocksId) {
    const char* const ids[] = {"508214", "663097", "240815"};
    for (int block = 0; block < 3; ++block) flash->unlockBlock(block);
    ASSERT_EQ(sent().size(), 3u);
    for (int block = 0; block < 3; ++block) EXPECT_EQ(sent()[block], commandLine('A', ids[block]));
}

struct ArgumentCase {
    const char* name;
    std::function<void(OrbiTableComFlash&)> call;
    const char* message;
    std::int32_t code;
};

TEST_F(FlashCommands, ArgumentChecksSendNothing) {
    std::uint32_t number = 0;
    const ArgumentCase cases[] = {
        {"prepare 0", [](auto& f) { f.prepareSectors(0, 1); }, "Invalid StartSector: 0",
         ErrorCode::PrepareInvalidSector},
        {"prepare to 15", [](auto& f) { f.prepareSectors(1, 15); }, "Invalid EndSector: 15",
         ErrorCode::PrepareInvalidSector},
        {"erase 0", [](auto& f) { f.eraseSectors(0, 1); }, "Invalid start sector: 0",
         ErrorCode::EraseInvalidSector},
        {"erase to 15", [](auto& f) { f.eraseSectors(2, 15); }, "Invalid end sector: 15",
         ErrorCode::EraseInvalidSector},
        {"blank check 15", [&](auto& f) { f.blankCheckSectors(15, 1, number); },
         "Invalid start sector: 15", ErrorCode::BlankCheckInvalidSector},
        {"blank check to 0", [&](auto& f) { f.blankCheckSectors(1, 0, number); },
         "Invalid end sector: 0", ErrorCode::BlankCheckInvalidSector},
        {"copy to 0x1E000", [](auto& f) { f.copyRamToFlash(0x1E000, 0, 512); },
         "Invalid Flash address: 122880", ErrorCode::CopyInvalidArgument},
        {"copy to sector 0", [](auto& f) { f.copyRamToFlash(0x1FFF, 0, 512); },
         "Invalid Flash address: 8191", ErrorCode::CopyInvalidArgument},
        {"copy from RAM 0x1001", [](auto& f) { f.copyRamToFlash(0x4000, 0x1001, 512); },
         "Invalid RAM address: 4097", ErrorCode::CopyInvalidArgument},
        {"copy 2048", [](auto& f) { f.copyRamToFlash(0x4000, 0, 2048); }, "Invalid number of bytes",
         ErrorCode::CopyInvalidArgument},
        {"RAM write of 100", [](auto& f) { f.writeToRam(Bytes(100), 0, 1); },
         "Invalid number of bytes", ErrorCode::WriteRamInvalidArgument},
        {"RAM write at 0x1001", [](auto& f) { f.writeToRam(Bytes(128), 0x1001, 1); },
         "Invalid start address: 4097", ErrorCode::WriteRamInvalidArgument},
        {"checksum from 0x1E000", [](auto& f) { f.readChecksum(0x1E000, 0x1E000); },
         "Invalid start address: 122880", ErrorCode::ChecksumInvalidAddress},
        {"checksum to 0x1E000", [](auto& f) { f.readChecksum(0, 0x1E000); },
         "Invalid end address: 122880", ErrorCode::ChecksumInvalidAddress},
        {"flash write at 0x1FFF", [](auto& f) { f.writeFlash(Bytes(512), 0x1FFF, 2); },
         "Invalid flash address: 8191", ErrorCode::WriteFlashInvalidArgument},
        {"flash write at 0x4100", [](auto& f) { f.writeFlash(Bytes(512), 0x4100, 2); },
         "Flash address not on boundary", ErrorCode::WriteFlashInvalidArgument},
        {"flash write of nothing", [](auto& f) { f.writeFlash(Bytes(), 0x4000, 2); },
         "No data to send", ErrorCode::WriteFlashInvalidArgument},
        {"flash write of 8193", [](auto& f) { f.writeFlash(Bytes(8193), 0x4000, 2); },
         "Data are not in same sector", ErrorCode::WriteFlashInvalidArgument},
        {"flash write of 768", [](auto& f) { f.writeFlash(Bytes(768), 0x4000, 2); },
         "Data length 768 is not a multiple of 512", ErrorCode::WriteFlashInvalidArgument},
        {"unlock 3", [](auto& f) { f.unlockBlock(3); }, "Invalid block", ErrorCode::InvalidBlock},
        {"unlock -1", [](auto& f) { f.unlockBlock(-1); }, "Invalid block", ErrorCode::InvalidBlock},
    };
    for (const ArgumentCase& c : cases) {
        const auto e = thrownBy([&] { c.call(*flash); });
        EXPECT_STREQ(e.what(), c.message) << c.name;
        EXPECT_EQ(e.code, c.code) << c.name;
    }
    EXPECT_TRUE(sent().empty());
}

struct DeviceErrorCase {
    const char* name;
    const char* code;
    std::function<void(OrbiTableComFlash&)> call;
    const char* answerContent;
    const char* message;
    std::int32_t errorCode;
};

TEST_F(FlashCommands, DeviceErrorsCarryTheDeviceText) {
    std::uint32_t number = 0;
    const DeviceErrorCase cases[] = {
        {"erase, locked", "u2", [](auto& f) { f.eraseSectors(3, 3); }, ":$u27",
         "Can't erase sector: sector locked (7)", ErrorCode::EraseFailed},
        {"erase, 13", "u2", [](auto& f) { f.eraseSectors(3, 3); }, ":$u2D",
         "Can't erase sector: unknown firmware error (13)", ErrorCode::EraseFailed},
        {"erase, no error character", "u2", [](auto& f) { f.eraseSectors(3, 3); }, ":!u2",
         "Can't erase sector: unknown firmware error (255)", ErrorCode::EraseFailed},
        {"prepare", "u0", [](auto& f) { f.prepareSectors(2, 2); }, ":$u09",
         "Can't prepare sector: FLASH address boundary (9)", ErrorCode::PrepareFailed},
        {"copy", "u1", [](auto& f) { f.copyRamToFlash(0x4000, 0, 512); }, ":$u18",
         "Can't copy ram to flash: sector not prepared for write operation (8)",
         ErrorCode::CopyFailed},
        {"blank check", "u3", [&](auto& f) { f.blankCheckSectors(2, 2, number); }, ":!u34",
         "Can't blank check sector sector: address aligment (4)", ErrorCode::BlankCheckFailed},
        {"RAM write", "u9", [](auto& f) { f.writeToRam(Bytes(256), 0, 1); }, ":$u95",
         "Can't write to ram: invalid destination or block size (5)", ErrorCode::WriteRamFailed},
        {"checksum", "u7", [](auto& f) { f.readChecksum(0, 0x1FFF); }, ":!u7c",
         "Can't check checksum: Config data only in 'S' mode writeable (12)",
         ErrorCode::ChecksumFailed},
        {"unlock", "uA", [](auto& f) { f.unlockBlock(1); }, ":$uAa",
         "Can't unlock: Wrong unlock ID (10)", ErrorCode::UnlockFailed},
    };
    for (const DeviceErrorCase& c : cases) {
        // A "!" answer is followed by a completion line; this one carries no error character.
        std::string reply = answer(c.answerContent);
        if (c.answerContent[1] == '!') reply += answer(std::string(":#") + c.code);
        table->answerCode(c.code, reply);
        const auto e = thrownBy([&] { c.call(*flash); });
        EXPECT_STREQ(e.what(), c.message) << c.name;
        EXPECT_EQ(e.code, c.errorCode) << c.name;
    }
}

TEST(DeviceErrorText, UsesTheLowEightBits) {
    EXPECT_EQ(deviceErrorText(0), "no error (0)");
    EXPECT_EQ(deviceErrorText(11), "Unlockable block (11)");
    EXPECT_EQ(deviceErrorText(0x107), "sector locked (7)");
    EXPECT_EQ(deviceErrorText(200), "unknown firmware error (200)");
}

TEST_F(FlashCommands, BlankCheckReadsFlagAndNumber) {
    const struct {
        const char* data;
        bool blank;
        std::uint32_t number;
    } cases[] = {{"01a2b3", true, 0x1a2b3}, {"103f00", false, 0x3f00}, {"0FFFFF", true, 0xfffff}};
    for (const auto& c : cases) {
        table->answerCode("u3", answer(std::string(":$u30") + c.data));
        std::uint32_t number = 0;
        EXPECT_EQ(flash->blankCheckSectors(2, 2, number), c.blank) << c.data;
        EXPECT_EQ(number, c.number) << c.data;
    }
    EXPECT_EQ(sent().back(), commandLine('3', "22"));
}

TEST_F(FlashCommands, BlankCheckNeedsTheWholeDataBlock) {
    // Without its data block (or with part of it) the response holds checksum digits and the
    // CR; whatever they start with, the range must not be reported blank.
    for (const char* data : {"", "0", "0ab", "0abc", "0abcd"}) {
        table->answerCode("u3", answer(std::string(":!u30") + data) + answer(":#u3"));
        std::uint32_t number = 0;
        EXPECT_FALSE(flash->blankCheckSectors(2, 2, number)) << '"' << data << '"';
    }
}

TEST_F(FlashCommands, WriteFlashOfASectorRunsSixteenBlocks) {
    const Bytes data = pattern(8192);
    flash->writeFlash(data, 0x4000, 2);
    const std::vector<std::string> lines = sent();
    ASSERT_EQ(lines.size(), 64u);
    char copyArguments[16];
    for (unsigned block = 0; block < 16; ++block) {
        const std::size_t first = block * 512;
        std::snprintf(copyArguments, sizeof copyArguments, "%05x00003", 0x4000 + block * 512);
        EXPECT_EQ(lines[4 * block], commandLine('9', "00002" + hexOf(data, first, 256)));
        EXPECT_EQ(lines[4 * block + 1], commandLine('9', "01002" + hexOf(data, first + 256, 256)));
        EXPECT_EQ(lines[4 * block + 2], commandLine('0', "22")) << block;
        EXPECT_EQ(lines[4 * block + 3], commandLine('1', copyArguments)) << block;
    }
}

TEST_F(FlashCommands, WriteFlashStopsAtTheFirstDeviceError) {
    table->answerNextLine(answer(":$u90"));
    table->answerNextLine(answer(":$u90"));
    table->answerNextLine(answer(":$u07"));  // prepare of the first block: sector locked
    const auto e = thrownBy([&] { flash->writeFlash(pattern(1024), 0x2000, 2); });
    EXPECT_STREQ(e.what(), "Can't prepare sector: sector locked (7)");
    EXPECT_EQ(sent().size(), 3u);
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane

#include <gtest/gtest.h>

#include "TableFixture.h"

namespace SimulatorTest {
namespace {

class Bootloader : public TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        wire->enterBootloader();
    }
};

TEST_F(Bootloader, IdentifiesItselfWithAStateOtherThanStandby) {
    EXPECT_EQ(wire->command("a0"), answerLine("$a00040000"));
    EXPECT_EQ(wire->command("a1"), answerLine("$a10"
                                              "0003"
                                              "0107"
                                              "12"))
        << "the application is still valid";
    EXPECT_EQ(wire->command("y3"), answerLine("&y3")) << "application commands are unknown";
    EXPECT_EQ(wire->command("o0"), answerLine("$o00")) << "boot break again is harmless";
}

TEST_F(Bootloader, DeviceErrorValues) {
    struct Case {
        const char* name;
        std::vector<const char*> before;
        std::string command;
        const char* answer;
    } cases[] = {
        {"prepare locked", {}, "u044", "$u07"},
        {"prepare sector 0", {"uA508214"}, "u001", "$u07"},
        {"prepare reversed", {}, "u054", "$u03"},
        {"prepare beyond 14", {}, "u04f", "$u03"},
        {"prepare bad length", {}, "u04", "$u02"},
        {"erase not prepared", {"uA508214"}, "u244", "$u28"},
        {"erase locked", {}, "u255", "$u27"},
        {"prepare is for one erase", {"uA508214", "u044", "u244"}, "u244", "$u28"},
        {"wrong unlock id", {}, "uA508215", "$uAA"},
        {"unlock id too short", {}, "uA50821", "$uA2"},
        {"ram write short",
         {},
         "u900001"
         "00",
         "$u92"},
        {"ram write size code", {}, "u900003", "$u95"},
        {"ram write past the buffer", {}, "u90f811" + std::string(256, '0'), "$u93"},
        {"ram write not hex", {}, "u900001" + std::string(254, '0') + "zz", "$u92"},
        {"copy unaligned",
         {"uA508214", "u044"},
         "u108100"
         "0000"
         "3",
         "$u14"},
        {"copy size code",
         {"uA508214", "u044"},
         "u108000"
         "0000"
         "2",
         "$u15"},
        {"copy past flash",
         {},
         "u11e000"
         "0000"
         "3",
         "$u19"},
        {"copy ram range",
         {"uA508214", "u044"},
         "u108000"
         "0f00"
         "3",
         "$u13"},
        {"copy not prepared",
         {"uA508214"},
         "u108000"
         "0000"
         "3",
         "$u18"},
        {"copy into sector 0",
         {},
         "u100000"
         "0000"
         "3",
         "$u17"},
        {"checksum past flash",
         {},
         "u7"
         "00000"
         "1e000",
         "$u79"
         "00000000"},
        {"checksum reversed",
         {},
         "u7"
         "02000"
         "01fff",
         "$u73"
         "00000000"},
        {"blank check reversed",
         {},
         "u332",
         "$u33"
         "000000"},
    };
    for (const Case& c : cases) {
        replug();
        wire->enterBootloader();
        for (const char* before : c.before) {
            const std::string answer = wire->command(before);
            ASSERT_TRUE(answer.size() > 4 && answer[answer.size() - 4] == '0')
                << c.name << ": " << before << " -> " << show(answer);
        }
        EXPECT_EQ(show(wire->command(c.command)), show(answerLine(c.answer))) << c.name;
    }
}

TEST_F(Bootloader, BlankCheckReportsTheFirstNonBlankOffset) {
    EXPECT_EQ(wire->command("u3ee"), answerLine("$u30"
                                                "000000"))
        << "sector 14 is empty";
    EXPECT_EQ(wire->command("u344"), answerLine("$u30"
                                                "100000"));
    table->setFlashContents(4 * 8192, std::vector<std::uint8_t>(2 * 8192, 0xFF));
    table->setFlashContents(5 * 8192 + 0x1F00, {0x12});
    EXPECT_EQ(wire->command("u345"), answerLine("$u30"
                                                "103f00"));
}

TEST_F(Bootloader, LocksComeBackWithEveryReset) {
    EXPECT_EQ(wire->command("uA508214"), answerLine("$uA0"));
    EXPECT_EQ(wire->command("u044"), answerLine("$u00"));
    wire->enterBootloader();
    EXPECT_EQ(wire->command("u044"), answerLine("$u07"));
}

TEST_F(Bootloader, EachBlockHasItsOwnId) {
    struct Case {
        const char* id;
        const char* prepare;
        const char* stillLocked;
    } cases[] = {
        {"508214", "u04e", "u011"}, {"663097", "u023", "u044"}, {"240815", "u011", "u023"}};
    for (const Case& c : cases) {
        wire->enterBootloader();
        EXPECT_EQ(wire->command(std::string("uA") + c.id), answerLine("$uA0")) << c.id;
        EXPECT_EQ(wire->command(c.prepare), answerLine("$u00")) << c.id;
        EXPECT_EQ(wire->command(c.stillLocked), answerLine("$u07")) << c.id;
    }
}

TEST_F(Bootloader, ChecksumSumsTheBytesOfARange) {
    const std::vector<std::uint8_t> flash = table->flashContents();
    std::uint32_t sum = 0;
    for (std::uint32_t a = 0x4000; a <= 0x5FFF; ++a) sum += flash[a];
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", sum);
    EXPECT_EQ(wire->command("u7"
                            "04000"
                            "05fff"),
              answerLine(std::string("$u70") + digits));
    EXPECT_EQ(wire->command("u7"
                            "1dfff"
                            "1dfff"),
              answerLine("$u70"
                         "000000ff"));
}

}  // namespace
}  // namespace SimulatorTest

#include <gtest/gtest.h>

#include "TableFixture.h"

namespace SimulatorTest {
namespace {

class ApplicationMode : public TableFixture {};

TEST_F(ApplicationMode, AnswerBytesOfStatusBufferSizeAndReset) {
    // Anchors the framing independently of the helpers: literal bytes on the wire.
    EXPECT_EQ(commandLine("a0"), "\x3B\x61\x30\x33\x34\x0D");
    EXPECT_EQ(commandLine("r"), "\x3B\x72\x35\x33\x0D");
    EXPECT_EQ(show(wire->command("a0")), show(answerLine("$a00010000")));
    EXPECT_EQ(show(wire->command("y3")), show("\x3A\x24\x79\x33\x30\x30\x31\x61\x32\x64\x32\x0D"));
    EXPECT_EQ(show(wire->command("r")), show("\x3A\x21\x72\x30\x30\x33\x0D"
                                             ":$r000\r"));
}

TEST_F(ApplicationMode, QueriesAnswerWithTheirDataBlocks) {
    struct Case {
        const char* command;
        const char* answer;
    } cases[] = {
        {"a1",
         "$a10"
         "0003"
         "0107"
         "12"},
        {"y4",
         "$y40"
         "0190"},
        {"y5",
         "$y50"
         "0032"},
        {"c2",
         "$c20"
         "00"},
        {"c4",
         "$c40"
         "2a"},
        {"c6",
         "$c60"
         "00"},
        {"f4",
         "$f40"
         "00"},
        {"s1", "$s10"},
        {"s0", "$s00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(show(wire->command(c.command)), show(answerLine(c.answer))) << c.command;
    }
}

TEST_F(ApplicationMode, SwitchesReportBitZeroForAOnAndBitOneForBOff) {
    struct Case {
        const char* command;
        const char* value;
    } steps[] = {{"f1", "01"}, {"f2", "03"}, {"f0", "02"},
                 {"f3", "00"}, {"f1", "01"}, {"f4", "01"}};
    for (const Case& c : steps) {
        EXPECT_EQ(show(wire->command(c.command)),
                  show(answerLine(std::string("$") + c.command + "0" + c.value)))
            << c.command;
    }
}

TEST_F(ApplicationMode, TriggerAndStoredValue) {
    EXPECT_EQ(wire->command("c3"), answerLine("$c30"));
    EXPECT_EQ(wire->command("c2"), answerLine("$c2001"));
    EXPECT_EQ(wire->command("c51f"), answerLine("$c50"));
    EXPECT_EQ(wire->command("c6"), answerLine("$c601f"));
    EXPECT_EQ(wire->command("c5zz"), answerLine("$c53"));
}

TEST_F(ApplicationMode, BufferSizeLimitsAndLayout) {
    EXPECT_EQ(wire->command("y20000"), answerLine("$y21")) << "too small";
    EXPECT_EQ(wire->command("y20401"), answerLine("$y22")) << "too big";
    EXPECT_EQ(wire->command("y20400"), answerLine("$y20"));
    EXPECT_EQ(wire->command("y20002"), answerLine("$y20"));
    EXPECT_EQ(wire->command("y3"), answerLine("$y300002"));
    // total 2, valid 2, sequence 0; series A then series B, two slots each.
    EXPECT_EQ(wire->command("y1"), answerLine("$y10"
                                              "0002"
                                              "0002"
                                              "0000"
                                              "fc18"
                                              "fc3d"
                                              "01f4"
                                              "01e1"));
    const std::string again = wire->command("y1");
    EXPECT_EQ(again.substr(13, 4), "0001") << "sequence number counts reads";
}

TEST_F(ApplicationMode, UnknownAndBootloaderCodesAreRejected) {
    EXPECT_EQ(wire->command("zz"), answerLine("&zz"));
    EXPECT_EQ(wire->command("u7000000000f"), answerLine("&u7"));
    EXPECT_EQ(wire->command("uA508214"), answerLine("&uA"));
}

TEST_F(ApplicationMode, LineWithBadChecksumGetsNoAnswer) {
    std::string line = commandLine("a0");
    line[line.size() - 2] ^= 0x01;
    ASSERT_EQ(wire->write(line), 0u);
    EXPECT_EQ(wire->readLines(1, std::chrono::milliseconds(100)), "");
    // Upper-case checksum digits are fine, and noise before ';' is skipped.
    EXPECT_EQ(wire->write("\x07xx;a034\r"), 0u);
    EXPECT_EQ(wire->readLines(1), answerLine("$a00010000"));
    EXPECT_EQ(wire->write(";f42B\r"), 0u);
    EXPECT_EQ(wire->readLines(1), answerLine("$f4000"));
}

TEST_F(ApplicationMode, CommandSplitOverTwoWritesIsOneLine) {
    const std::string line = commandLine("y3");
    ASSERT_EQ(wire->write(line.substr(0, 3)), 0u);
    ASSERT_EQ(wire->write(line.substr(3)), 0u);
    EXPECT_EQ(wire->readLines(1), answerLine("$y3001a2"));
}

TEST_F(ApplicationMode, ResetRestoresStartValues) {
    wire->command("y20010");
    wire->command("f1");
    wire->command("r");
    EXPECT_EQ(wire->command("y3"), answerLine("$y3001a2"));
    EXPECT_EQ(wire->command("f4"), answerLine("$f4000"));
}

}  // namespace
}  // namespace SimulatorTest

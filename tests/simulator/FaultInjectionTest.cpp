#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "Programming.h"
#include "TableFixture.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatedFaultSetting.h"

namespace SimulatorTest {
namespace {

using Korvane::Platform::SimulatedUsbBus;
using Korvane::Simulator::Fault;
using std::chrono::milliseconds;

class FaultInjection : public TableFixture {
protected:
    bool present() {
        for (const auto& info : SimulatedUsbBus::instance().presentDevices()) {
            if (info.instanceId == serial) return true;
        }
        return false;
    }
};

TEST_F(FaultInjection, AnswerLineFaults) {
    const std::string good = answerLine("$y3001a2");
    std::string corrupted = good;
    corrupted[corrupted.size() - 4] ^= 0x01;
    std::string badSum = good;
    badSum[badSum.size() - 2] = '3';  // d2 + 1
    struct Case {
        const char* name;
        Fault fault;
        std::string answer;
    } cases[] = {
        {"drop", Fault::drop("y3"), ""},
        {"corrupt", Fault::corrupt("y3"), corrupted},
        {"corrupt the ack", Fault::corrupt("y3", 1), ":%y3001a2d2\r"},
        {"noise", Fault::noiseBefore("y3", std::string("\x00\xfe~", 3)),
         std::string("\x00\xfe~", 3) + good},
        {"wrong checksum", Fault::wrongChecksum("y3"), badSum},
        {"nak", Fault::nak("y3"), answerLine("&y3")},
        {"busy", Fault::busy("y3"), answerLine("#y3")},
        {"device error", Fault::deviceError("y3", 35), answerLine("$y3Z0000")},
    };
    for (const Case& c : cases) {
        table->inject(c.fault);
        EXPECT_EQ(show(wire->command("y3", milliseconds(100))), show(c.answer)) << c.name;
        EXPECT_EQ(wire->command("y3"), good) << c.name << " fires once";
    }
}

TEST_F(FaultInjection, FaultOnTheNthOccurrenceOfItsCodeOnly) {
    table->inject(Fault::nak("a0", 3));
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000"));
    EXPECT_EQ(wire->command("y3"), answerLine("$y3001a2")) << "other codes do not count";
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000"));
    EXPECT_EQ(wire->command("a0"), answerLine("&a0"));
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000"));
}

TEST_F(FaultInjection, EveryOccurrenceUntilCleared) {
    table->inject(Fault::busy("a0", 0));
    EXPECT_EQ(wire->command("a0"), answerLine("#a0"));
    EXPECT_EQ(wire->command("a0"), answerLine("#a0"));
    table->clearFaults();
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000"));
}

TEST_F(FaultInjection, RejectedCommandIsNotCarriedOut) {
    wire->enterBootloader();
    table->inject(Fault::deviceError("uA", 6));
    EXPECT_EQ(wire->command("uA508214"), answerLine("$uA6"));
    EXPECT_EQ(wire->command("u044"), answerLine("$u07")) << "block 0 still locked";
}

// What the table sent, one transcript record per piece, with the time each left.
std::vector<Korvane::Simulator::WireRecord> sentByTable(
    const Korvane::Simulator::SimulatedTable& t) {
    std::vector<Korvane::Simulator::WireRecord> pieces;
    for (const auto& record : t.transcript()) {
        if (record.direction == Korvane::Simulator::WireRecord::Direction::FromTable)
            pieces.push_back(record);
    }
    return pieces;
}

// The transcript says when the answer left; no read has to land inside the delay for that.
TEST_F(FaultInjection, DelayedAnswerLeavesItsDelayAfterTheCommand) {
    table->inject(Fault::delayed("a0", milliseconds(60)));
    table->clearTranscript();
    ASSERT_EQ(wire->write(commandLine("a0")), 0u);
    EXPECT_EQ(wire->readLines(1, milliseconds(5000)), answerLine("$a00010000"));
    const auto records = table->transcript();
    ASSERT_GE(records.size(), 2u);
    ASSERT_EQ(records.front().direction, Korvane::Simulator::WireRecord::Direction::ToTable);
    const auto answer = sentByTable(*table);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_GE(answer[0].seconds - records.front().seconds, 0.060);
}

TEST_F(FaultInjection, SplitAnswerLeavesInTwoPieces) {
    table->inject(Fault::split("a1", 5, milliseconds(60)));
    table->clearTranscript();
    ASSERT_EQ(wire->write(commandLine("a1")), 0u);
    const std::string full = answerLine(
        "$a10"
        "0003"
        "0107"
        "12");
    EXPECT_EQ(wire->readLines(1, milliseconds(5000)), full);
    const auto pieces = sentByTable(*table);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].bytes, full.substr(0, 5));
    EXPECT_EQ(pieces[1].bytes, full.substr(5));
    EXPECT_LE(pieces[0].seconds, pieces[1].seconds);
}

TEST_F(FaultInjection, SplitAnswerStillComesBeforeItsCompletionLine) {
    table->inject(Fault::split("r", 3, milliseconds(60)));
    table->clearTranscript();
    ASSERT_EQ(wire->write(commandLine("r")), 0u);
    EXPECT_EQ(wire->readLines(2, milliseconds(5000)), ":!r003\r" + answerLine("$r0"));
    const auto pieces = sentByTable(*table);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].bytes, ":!r");
    EXPECT_EQ(pieces[1].bytes, "003\r");
    EXPECT_LE(pieces[1].seconds, pieces[2].seconds);
}

TEST_F(FaultInjection, OneByteLastPacket) {
    table->oneByteLastPacket();
    ASSERT_EQ(wire->write(commandLine("a0")), 0u);
    const Bytes read = wire->readRaw();
    EXPECT_EQ(read.size() % 64, 1u) << hexBytes(read);
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000")) << "only one read is spoilt";
}

TEST_F(FaultInjection, StatusBitClearOnTheNextReads) {
    table->clearStatusBit(2);
    EXPECT_EQ(hexBytes(wire->readRaw()), "0060");
    ASSERT_EQ(wire->write(commandLine("a0")), 0u);
    const Bytes read = wire->readRaw();
    ASSERT_GT(read.size(), 2u);
    EXPECT_EQ(read[0], 0x00) << "data still comes, flagged";
    EXPECT_EQ(payloadOf(read), answerLine("$a00010000"));
    EXPECT_EQ(hexBytes(wire->readRaw()), "0160");
}

TEST_F(FaultInjection, UnplugAfterNCommands) {
    table->unplugAfterCommands(2);
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000"));
    EXPECT_EQ(wire->command("y3"), answerLine("$y3001a2"));
    EXPECT_NE(wire->write(commandLine("a0")), 0u);
    EXPECT_FALSE(present());
    EXPECT_NE(wire->write(commandLine("a0")), 0u) << "the session stays dead";
    replug();
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000")) << "powers up in its application";
}

TEST_F(FaultInjection, PowerLossInTheMiddleOfASectorLeavesItHalfWrittenAndUpdatable) {
    wire->enterBootloader();
    ASSERT_EQ(wire->command("uA508214"), answerLine("$uA0"));
    table->powerLossInSector(4);
    ASSERT_EQ(wire->command("u044"), answerLine("$u00"));
    ASSERT_EQ(wire->command("u244"), answerLine("!u20") + answerLine("$u20"));
    std::vector<std::uint8_t> block(512, 0x00);
    std::string last;
    for (std::uint32_t b = 0; b < 16 && present(); ++b) {
        last = copyBlock(*wire, 0x8000 + b * 512, block.data());
    }
    EXPECT_FALSE(present());
    EXPECT_EQ(last, "") << "no answer to the copy that lost power";
    const auto flash = table->flashContents();
    const auto begin = flash.begin() + 0x8000;
    EXPECT_EQ(std::count(begin, begin + kSectorSize, 0x00), 4352);
    EXPECT_EQ(std::count(begin, begin + kSectorSize, 0xFF), 8192 - 4352);

    replug();
    EXPECT_EQ(wire->command("a1"), answerLine("$a10"
                                              "0003"
                                              "0000"
                                              "12"));
    ASSERT_EQ(wire->command("uA508214"), answerLine("$uA0"));
    const auto bytes = std::vector<std::uint8_t>(kSectorSize, 0x5A);
    EXPECT_EQ(programSector(*wire, 4, bytes), byteSum(bytes));
}

TEST(SimulatedFaultSetting, Forms) {
    using Korvane::Simulator::SimulatedFaultSetting;
    for (const char* good : {"OZ3S000002:unplug-after:0", "OZ3S000002:power-loss:4",
                             "OZ3S000002:power-loss:1", "X:damaged:u7", "X:slow:u9:900"})
        EXPECT_EQ(SimulatedFaultSetting::problem(good), QString()) << good;
    for (const char* bad :
         {"", "OZ3S000002", ":damaged:u7", "X:power-loss:2", "X:power-loss:15", "X:damaged:u",
          "X:slow:u7", "X:slow:u7:0", "X:slow:u7:901", "X:unplug-after:-1", "X:explode:1"})
        EXPECT_TRUE(SimulatedFaultSetting::problem(bad).startsWith("--simulated-fault takes"))
            << bad;
}

// A setting arms its fault on the table with its serial number.
TEST_F(FaultInjection, SettingArmsItsTable) {
    const auto other = Korvane::Simulator::SimulatedTable::create("OTHER");
    Korvane::Simulator::SimulatedFaultSetting::arm(
        QString::fromStdString(serial) + ":unplug-after:1", {other, table});
    EXPECT_EQ(wire->command("a0"), answerLine("$a00010000"));
    EXPECT_NE(wire->write(commandLine("a0")), 0u);
    EXPECT_FALSE(present());
}

}  // namespace
}  // namespace SimulatorTest

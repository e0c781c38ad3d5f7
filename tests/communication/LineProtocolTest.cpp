#include <gtest/gtest.h>

#include "communication/OrbiTableCommunication.h"
#include "communication/TableFixture.h"
#include "utilities/ErrorCodes.h"

namespace Korvane {
namespace Testing {
namespace {

using DeviceDriver::OrbiZo::Communication::OrbiTableComCommand;
using DeviceDriver::OrbiZo::Communication::OrbiTableCommunication;
namespace ErrorCode = DeviceDriver::OrbiZo::ErrorCode;

// ---- framing, checksums and the time-out arithmetic need no table ----

struct FrameCase {
    char code1;
    char code2;
    const char* arguments;
    const char* bytes;
};

TEST(LineFrame, CommandLinesByteForByte) {
    const FrameCase cases[] = {
        {'a', '0', "", "3B 61 30 33 34 0D"},
        {'r', ' ', "", "3B 72 35 33 0D"},
        {'u', '2', "33", "3B 75 32 33 33 62 38 0D"},
    };
    for (const FrameCase& c : cases) {
        OrbiTableComCommand command(c.code1, c.code2, 0);
        command.setArguments(c.arguments);
        EXPECT_EQ(hexBytes(OrbiTableCommunication::buildFrame(command)), c.bytes)
            << c.code1 << c.code2;
    }
}

TEST(LineFrame, ChecksumValidity) {
    const struct {
        const char* line;
        bool valid;
    } cases[] = {
        {":$y3001a2d2", true},
        {":$y3001a2D2", true},
        {":$y3001a2d3", false},
        {":$y3001a2zz", false},
        {"00", true},
        {"0", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OrbiTableCommunication::checksumValid(c.line), c.valid) << c.line;
    }
}

TEST(LineFrame, TimeoutShortenedByAnAttempt) {
    const struct {
        std::uint32_t current, saved, elapsed, expected;
    } cases[] = {
        {2000, 2000, 500, 1500},                                     // plain subtraction
        {2000, 2000, 2000, 0},                                       // exactly zero stays zero
        {100, 2000, 150, 10},                                        // below zero: the 10 ms floor
        {0, 2000, 1, 10},        {10, 2000, 100, 10}, {5, 5, 6, 5},  // entry value below the floor
        {300, 300, 120, 180},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OrbiTableCommunication::shortenedTimeout(c.current, c.saved, c.elapsed),
                  c.expected)
            << c.current << " - " << c.elapsed << " (entry " << c.saved << ")";
    }
}

// ---- answers read from a table ----

class LineProtocol : public TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        comm = std::make_unique<OrbiTableCommunication>(link, properties);
    }
    void TearDown() override {
        comm.reset();
        TableFixture::TearDown();
    }
    std::unique_ptr<OrbiTableCommunication> comm;
};

TEST_F(LineProtocol, DataAnswerFillsTheRecord) {
    table->answerNextLine("\x3A\x24\x79\x33\x30\x30\x31\x61\x32\x64\x32\x0D");
    OrbiTableComCommand command('y', '3', 4);
    comm->execute(command);
    EXPECT_EQ(command.acknowledge, OrbiTableComCommand::AckData);
    EXPECT_EQ(command.errorByte, 0);
    EXPECT_EQ(command.responseText(), "01a2");
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(hexBytes(sent()[0]), "3B 79 33 31 39 0D");
}

TEST_F(LineProtocol, BytesBeforeTheColonAreSkipped) {
    table->queuePayload("\r\x7f#x");  // left-overs and noise
    table->answerNextLine(answer(":$y3000ab"));
    OrbiTableComCommand command('y', '3', 4);
    comm->execute(command);
    EXPECT_EQ(command.responseText(), "00ab");
}

TEST_F(LineProtocol, UpperCaseChecksumDigitsAreAccepted) {
    table->answerNextLine(":$y3001a2D2\r");
    OrbiTableComCommand command('y', '3', 4);
    comm->execute(command);
    EXPECT_EQ(command.responseText(), "01a2");
}

TEST_F(LineProtocol, AnswerWithoutErrorCharacterKeepsErrorByte) {
    table->answerNextLine(answer(":!a0"));
    OrbiTableComCommand command('a', '0', 0);
    comm->transact(command);
    EXPECT_EQ(command.acknowledge, OrbiTableComCommand::AckAccepted);
    EXPECT_EQ(command.errorByte, 0xFF);
    EXPECT_TRUE(command.response.empty());
}

TEST_F(LineProtocol, ErrorCharactersDecodeInEitherCase) {
    const struct {
        char character;
        int value;
    } cases[] = {{'0', 0}, {'9', 9}, {'A', 10}, {'a', 10}, {'Z', 35}, {'z', 35}};
    for (const auto& c : cases) {
        table->answerNextLine(answer(std::string(":!a0") + c.character));
        OrbiTableComCommand command('a', '0', 0);
        comm->transact(command);
        EXPECT_EQ(command.errorByte, c.value) << c.character;
    }
}

TEST_F(LineProtocol, DataBlockLongerThanExpectedIsReadToItsEnd) {
    table->answerNextLine(answer(":$y3001a2ffee"));
    table->answerNextLine(answer(":$y300042"));
    OrbiTableComCommand first('y', '3', 4);
    comm->execute(first);
    EXPECT_EQ(first.responseText(), "01a2");
    // The whole first line was consumed: the next command reads its own answer.
    OrbiTableComCommand second('y', '3', 4);
    comm->execute(second);
    EXPECT_EQ(second.responseText(), "0042");
}

TEST_F(LineProtocol, ShortAnswerKeepsChecksumAndCrOutOfResponse) {
    table->answerNextLine(answer(":!a2012345"));
    OrbiTableComCommand command('a', '2', 10);
    comm->transact(command);
    EXPECT_EQ(command.responseText(), "12345");
    const auto e = thrownBy([&] { command.checkAnswer(); });
    EXPECT_STREQ(e.what(), "Zo communication response a2: 5/10");
}

struct BrokenLine {
    const char* name;
    std::string bytes;
    const char* message;
    std::int32_t code;
};

TEST_F(LineProtocol, BrokenLinesAreRefused) {
    const BrokenLine cases[] = {
        {"nothing", "", "Read timeout", ErrorCode::ReadTimeout},
        {"no colon", "abcdefgh", "Missing ':'", ErrorCode::InvalidAnswerFrame},
        {"bad acknowledge", answer(":Xa00"), "No valid acknowledge", ErrorCode::InvalidAnswerFrame},
        {"other echo", answer(":$a100"), "Not matching acknowledge", ErrorCode::InvalidAnswerFrame},
        {"no CR", ":!a000ab", "Missing CR", ErrorCode::InvalidAnswerFrame},
        {"checksum", ":!a000ff\r", "Checksum not valid", ErrorCode::ChecksumNotValid},
        {"error character", answer(":!a0*"), "Invalid error byte (*)",
         ErrorCode::InvalidAnswerFrame},
        // A table that keeps sending is given up on after 4096 bytes, not read to its end.
        {"stream without colon", std::string(5000, 'x') + answer(":!a00"), "Missing ':'",
         ErrorCode::InvalidAnswerFrame},
        {"stream without CR", ":!a00" + std::string(5000, '1') + "\r", "Missing CR",
         ErrorCode::InvalidAnswerFrame},
    };
    for (const BrokenLine& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        table->queuePayload(c.bytes);
        OrbiTableComCommand command('a', '0', 0);
        const auto e = thrownBy([&] { comm->readAnswerLine(command); });
        EXPECT_STREQ(e.what(), c.message);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(command.acknowledge, OrbiTableComCommand::AckNone);
    }
}

struct Refusal {
    char acknowledge;
    const char* message;
    std::int32_t code;
};

TEST_F(LineProtocol, RefusedCommandIsSentAgainAfterTheRetryDelay) {
    const Refusal cases[] = {{'&', "Invalid command (NAK)", ErrorCode::InvalidCommand},
                             {'#', "Device busy", ErrorCode::DeviceBusy}};
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.message);
        table->clearRecord();
        table->answerNextLine(answer(std::string(":") + c.acknowledge + "u9"));
        table->answerNextLine(answer(":$u90"));
        OrbiTableComCommand command('u', '9', 0);
        command.attempts = 2;
        command.retryDelay = 100;
        comm->execute(command);
        EXPECT_EQ(command.errorByte, 0);
        ASSERT_EQ(sent().size(), 2u);
        EXPECT_EQ(sent()[0], sent()[1]);

        // Refused on every try: the last refusal reaches the caller.
        table->clearRecord();
        table->answerNextLine(answer(std::string(":") + c.acknowledge + "u9"));
        table->answerNextLine(answer(std::string(":") + c.acknowledge + "u9"));
        OrbiTableComCommand refused('u', '9', 0);
        refused.attempts = 2;
        refused.retryDelay = 100;
        const auto e = thrownBy([&] { comm->execute(refused); });
        EXPECT_STREQ(e.what(), c.message);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(sent().size(), 2u);
    }
}

TEST_F(LineProtocol, LeftOversOfAFailedTryAreNotTakenForTheNextAnswer) {
    // The refusal comes with a stale answer behind it; the second try must read its own.
    table->answerNextLine(answer(":&y3") + answer(":$y30aaaa"));
    table->answerNextLine(answer(":$y30bbbb"));
    OrbiTableComCommand command('y', '3', 4);
    command.attempts = 2;
    command.retryDelay = 0;
    comm->execute(command);
    EXPECT_EQ(sent().size(), 2u);
    EXPECT_EQ(command.responseText(), "bbbb");
}

TEST_F(LineProtocol, TableThatIsGoneEndsTheCommandAtOnce) {
    Platform::SimulatedUsbBus::instance().unplug(table->instanceId());
    OrbiTableComCommand command('u', '9', 0);
    command.attempts = 3;
    const auto e = thrownBy([&] { comm->execute(command); });
    EXPECT_STREQ(e.what(), "Connection to device lost");
    EXPECT_EQ(e.code, ErrorCode::ConnectionLost);
    EXPECT_EQ(e.where, "u9");
    EXPECT_EQ(command.attempts, 3);
}

TEST_F(LineProtocol, DefaultRecordIsTriedOnce) {
    table->answerNextLine(answer(":&a0"));
    OrbiTableComCommand command('a', '0', 6);
    EXPECT_THROW(comm->execute(command), DeviceDriver::OrbiZo::OrbiZoException);
    EXPECT_EQ(sent().size(), 1u);
}

TEST_F(LineProtocol, SilentTableEndsInUnknownAcknowledge) {
    OrbiTableComCommand command('a', '0', 6);
    const auto e = thrownBy([&] { comm->transact(command); });
    EXPECT_STREQ(e.what(), "Unknown acknowledge");
    EXPECT_EQ(e.code, ErrorCode::UnknownAcknowledge);
    EXPECT_EQ(sent().size(), 1u);  // read again, never resent
    EXPECT_EQ(command.answerTimeout, 2000u);
    EXPECT_EQ(command.dataTimeout, 2000u);
}

TEST_F(LineProtocol, FiveReadAttemptsPerAnswer) {
    const std::string broken = ":$y300042ff\r";  // checksum wrong
    for (int i = 0; i < 4; ++i) table->queuePayload(broken);
    table->queuePayload(answer(":$y300042"));
    OrbiTableComCommand command('y', '3', 4);
    comm->transact(command);
    EXPECT_EQ(command.responseText(), "0042");

    for (int i = 0; i < 5; ++i) table->queuePayload(broken);
    table->queuePayload(answer(":$y300043"));
    OrbiTableComCommand tooLate('y', '3', 4);
    EXPECT_THROW(comm->transact(tooLate), DeviceDriver::OrbiZo::OrbiZoException);
    EXPECT_EQ(tooLate.acknowledge, OrbiTableComCommand::AckNone);
}

TEST_F(LineProtocol, FailedAttemptsShortenTheTimeouts) {
    // Each empty bulk read takes 16 ms. The first attempt (100 ms: 7 reads, 112 ms) overruns,
    // so the answer time-out drops to the 10 ms floor (5 reads, the minimum) for the other four.
    OrbiTableComCommand command('a', '0', 6);
    command.answerTimeout = 100;
    command.dataTimeout = 300;
    const auto start = clock->now();
    comm->receiveAnswer(command);
    EXPECT_EQ(table->bulkReads(), 7 + 4 * 5);
    EXPECT_EQ(clock->now() - start, std::chrono::milliseconds(16 * (7 + 4 * 5)));
    EXPECT_EQ(command.answerTimeout, 100u);
    EXPECT_EQ(command.dataTimeout, 300u);
}

TEST_F(LineProtocol, CompletionLineIsAwaitedWithTheDataTimeout) {
    table->answerNextLine("\x3A\x21\x72\x30\x30\x33\x0D");  // : ! r 0 0 3 CR
    OrbiTableComCommand command('r', ' ', 0);
    command.dataTimeout = 50;  // 5 bulk reads per attempt; the answer time-out would give 125
    comm->execute(command);
    // No completion line came: the command counts as done with the first line's values.
    EXPECT_EQ(command.acknowledge, OrbiTableComCommand::AckAccepted);
    EXPECT_EQ(command.errorByte, 0);
    EXPECT_EQ(table->bulkReads(), 1 + 5 * 5);
}

TEST_F(LineProtocol, CompletionLineIsStored) {
    table->answerNextLine(answer(":!r0") + answer(":$r3"));
    OrbiTableComCommand command('r', ' ', 0);
    comm->execute(command);
    EXPECT_EQ(command.acknowledge, OrbiTableComCommand::AckData);
    EXPECT_EQ(command.errorByte, 3);
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane

#include <gtest/gtest.h>

#include "communication/OrbiTableComInfo.h"
#include "communication/TableFixture.h"
#include "utilities/ErrorCodes.h"

namespace Korvane {
namespace Testing {
namespace {

using DeviceDriver::OrbiZo::Communication::OrbiTableComInfo;
namespace ErrorCode = DeviceDriver::OrbiZo::ErrorCode;

class InfoCommands : public TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        info = std::make_unique<OrbiTableComInfo>(link, properties);
    }
    void TearDown() override {
        info.reset();
        TableFixture::TearDown();
    }
    std::unique_ptr<OrbiTableComInfo> info;
};

TEST_F(InfoCommands, VersionValues) {
    table->answerCode("a1", answer(":$a100001010902"));
    std::uint32_t value1 = 0, value2 = 0, value3 = 0;
    info->readVersion(value1, value2, value3);
    EXPECT_EQ(value1, 1u);
    EXPECT_EQ(value2, 0x0109u);
    EXPECT_EQ(value3, 2u);
}

TEST_F(InfoCommands, VersionOutputsUntouchedOnADeviceError) {
    table->answerCode("a1", answer(":$a130001010902"));
    std::uint32_t value1 = 7, value2 = 7, value3 = 7;
    EXPECT_THROW(info->readVersion(value1, value2, value3), DeviceDriver::OrbiZo::OrbiZoException);
    EXPECT_EQ(value1 + value2 + value3, 21u);
}

TEST_F(InfoCommands, StatusIsTheLowThreeBits) {
    const struct {
        const char* data;
        int status;
    } cases[] = {{"090000", 1}, {"fe0000", 6}, {"FF1234", 7}};
    for (const auto& c : cases) {
        table->answerCode("a0", answer(std::string(":$a00") + c.data));
        EXPECT_EQ(info->readStatus(), c.status) << c.data;
    }
}

TEST_F(InfoCommands, MetricsInAnswerOrder) {
    std::string data;
    for (int i = 1; i <= 7; ++i) data += "0000000" + std::to_string(i);
    table->answerCode("a2", answer(":$a20" + data));
    const OrbiTableComInfo::TableMetrics m = info->readMetrics();
    EXPECT_EQ(m.metric1, 1u);
    EXPECT_EQ(m.metric4, 4u);
    EXPECT_EQ(m.metric7, 7u);
}

TEST_F(InfoCommands, SetBufferSizeOutcomes) {
    const struct {
        const char* errorCharacter;
        const char* message;  // nullptr: success
        std::int32_t code;
    } cases[] = {
        {"0", nullptr, 0},
        {"1", "Buffer too small", ErrorCode::BufferTooSmall},
        {"2", "Buffer too big", ErrorCode::BufferTooBig},
        {"7", "unknown error (07)", ErrorCode::InfoUnknownError},
        {"", "unknown error (FF)", ErrorCode::InfoUnknownError},
    };
    for (const auto& c : cases) {
        const std::string content = std::string(":$y2") + c.errorCharacter;
        // Without an error character, a "!" answer and a completion line.
        table->answerCode("y2",
                          *c.errorCharacter ? answer(content) : answer(":!y2") + answer(":#y2"));
        table->clearRecord();
        if (c.message == nullptr) {
            EXPECT_NO_THROW(info->setBufferSize(0x100));
        } else {
            const auto e = thrownBy([&] { info->setBufferSize(0x100); });
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_EQ(e.code, c.code);
        }
        ASSERT_EQ(sent().size(), 1u);
        EXPECT_EQ(sent()[0].substr(0, 7), ";y20100");
    }
}

TEST_F(InfoCommands, BufferListsAndExtraValue) {
    // Total 2, valid 1, extra 0xFFFE; list A slots 0001 0002, list B slots fffd 0003.
    table->answerCode("y1", answer(":$y10"
                                   "00020001fffe"
                                   "00010002"
                                   "fffd0003"));
    std::vector<std::int32_t> listA = {9, 9}, listB;
    std::uint16_t extra = 0;
    info->readBuffer(2, listA, listB, extra);
    EXPECT_EQ(extra, 0xFFFE);
    EXPECT_EQ(listA, std::vector<std::int32_t>({1}));
    EXPECT_EQ(listB, std::vector<std::int32_t>({-3}));
}

TEST_F(InfoCommands, BufferHeaderChecks) {
    const struct {
        const char* data;
        const char* message;
    } cases[] = {
        {"000200030000"
         "0000000000000000",
         "Valid 3, Total 2"},
        {"000300010000"
         "0000000000000000",
         "Total 3, Length 28"},
    };
    for (const auto& c : cases) {
        table->answerCode("y1", answer(std::string(":$y10") + c.data));
        std::vector<std::int32_t> listA = {5}, listB = {6};
        std::uint16_t extra = 0;
        const auto e = thrownBy([&] { info->readBuffer(2, listA, listB, extra); });
        EXPECT_STREQ(e.what(), c.message);
        EXPECT_EQ(e.code, ErrorCode::InvalidBufferEntries);
        EXPECT_EQ(listA, std::vector<std::int32_t>({5}));  // lists untouched
    }
}

TEST_F(InfoCommands, BufferOfWrongLengthFailsTheAnswerCheck) {
    table->answerCode("y1", answer(":!y10"
                                   "000100010000"
                                   "00010002") +
                                answer(":#y1"));
    std::vector<std::int32_t> listA, listB;
    std::uint16_t extra = 0;
    const auto e = thrownBy([&] { info->readBuffer(2, listA, listB, extra); });
    EXPECT_EQ(e.code, ErrorCode::CommunicationError);
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane

#include <gtest/gtest.h>

#include "communication/OrbiTableComMisc.h"
#include "communication/OrbiTableComMotors.h"
#include "communication/TableFixture.h"
#include "utilities/ErrorCodes.h"

namespace Korvane {
namespace Testing {
namespace {

using DeviceDriver::OrbiZo::Communication::OrbiTableComMisc;
using DeviceDriver::OrbiZo::Communication::OrbiTableComMotors;
namespace ErrorCode = DeviceDriver::OrbiZo::ErrorCode;

class MiscMotors : public TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        misc = std::make_unique<OrbiTableComMisc>(link, properties);
        motors = std::make_unique<OrbiTableComMotors>(link, properties);
    }
    void TearDown() override {
        misc.reset();
        motors.reset();
        TableFixture::TearDown();
    }
    std::unique_ptr<OrbiTableComMisc> misc;
    std::unique_ptr<OrbiTableComMotors> motors;
};

TEST_F(MiscMotors, RestartAndBootBreakJudgeTheErrorValue) {
    table->answerCode("r", answer(":$r0"));
    table->answerCode("o0", answer(":$o03"));
    misc->resetTable(false);
    EXPECT_EQ(hexBytes(sent().at(0)), "3B 72 35 33 0D");

    auto e = thrownBy([&] { misc->bootBreak(0); });
    EXPECT_STREQ(e.what(), "Boot break not ok (3).");
    EXPECT_EQ(e.code, ErrorCode::CommunicationError);
    EXPECT_EQ(sent().at(1).substr(0, 3), ";o0");

    table->answerCode("o0", answer(":!o0") + answer(":#o0"));
    e = thrownBy([&] { misc->bootBreak(0); });
    EXPECT_STREQ(e.what(), "Boot break not ok (255).");

    table->answerCode("r", answer(":$r6"));
    e = thrownBy([&] { misc->resetTable(true); });
    EXPECT_STREQ(e.what(), "Can't reset table (6).");
}

TEST_F(MiscMotors, SwitchesReadFromTheAnswerValue) {
    const struct {
        const char* value;
        bool switchA;
        bool switchB;
    } cases[] = {
        {"03", true, false}, {"00", false, true}, {"01", true, true}, {"02", false, false}};
    for (const auto& c : cases) {
        table->answerCode("f4", answer(std::string(":$f40") + c.value));
        EXPECT_EQ(misc->readSwitchA(), c.switchA) << c.value;
        EXPECT_EQ(misc->readSwitchB(), c.switchB) << c.value;
        // The same readings through the properties the group registered.
        EXPECT_EQ(properties->getValue<bool>("44411"), c.switchA) << c.value;
        EXPECT_EQ(properties->getValue<bool>("44412"), c.switchB) << c.value;
    }
}

TEST_F(MiscMotors, SwitchPropertiesSendTheirCodes) {
    for (const char* code : {"f0", "f1", "f2", "f3"}) {
        table->answerCode(code, answer(std::string(":$") + code + "000"));
    }
    properties->setValue<bool>("44411", true);
    properties->setValue<bool>("44411", false);
    properties->setValue<bool>("44412", true);
    properties->setValue<bool>("44412", false);
    const auto lines = sent();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 3), ";f1");
    EXPECT_EQ(lines[1].substr(0, 3), ";f0");
    EXPECT_EQ(lines[2].substr(0, 3), ";f3");
    EXPECT_EQ(lines[3].substr(0, 3), ";f2");
}

TEST_F(MiscMotors, ValuesAndTheirArguments) {
    table->answerCode("c2", answer(":$c2001"));
    table->answerCode("c4", answer(":$c40a5"));
    table->answerCode("c5", answer(":$c50"));
    table->answerCode("c6", answer(":$c60ff"));
    EXPECT_TRUE(misc->readFlagC2());
    EXPECT_EQ(misc->readValueC4(), 0xA5);
    EXPECT_EQ(misc->readValueC6(), 0xFF);
    misc->writeValueC5(0x1FF);
    EXPECT_EQ(sent().back().substr(0, 5), ";c5ff");
}

TEST_F(MiscMotors, MotorsStateFollowsAcceptedSwitches) {
    table->answerCode("s1", answer(":$s1Q"));  // error value 0x1A
    const auto e = thrownBy([&] { motors->switchMotors(true); });
    EXPECT_STREQ(e.what(), "unknown error (1A");
    EXPECT_EQ(e.code, ErrorCode::MiscUnknownError);
    EXPECT_FALSE(properties->getValue<bool>("44410"));

    table->answerCode("s1", answer(":$s10"));
    properties->setValue<bool>("44410", true);
    EXPECT_TRUE(properties->getValue<bool>("44410"));
    EXPECT_EQ(sent().size(), 2u);  // reading 44410 asks nothing
}

TEST_F(MiscMotors, MotorSettingsDefaults) {
    EXPECT_TRUE(properties->getValue<bool>("44431"));
    EXPECT_FALSE(properties->getValue<bool>("44432"));
    EXPECT_EQ(properties->getValue<unsigned short>("44433"), 200);
    EXPECT_EQ(properties->getValue<unsigned int>("44434"), 15000u);
    EXPECT_EQ(properties->getValue<unsigned int>("44435"), 5000u);
    properties->setValue<unsigned int>("44435", 7000u);
    EXPECT_EQ(properties->getValue<unsigned int>("44435"), 7000u);
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane

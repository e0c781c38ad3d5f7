#include <algorithm>

#include <gtest/gtest.h>

#include "communication/OrbiTableComInfo.h"
#include "communication/OrbiTableComManager.h"
#include "communication/TableFixture.h"
#include "utilities/ErrorCodes.h"

namespace Korvane {
namespace Testing {
namespace {

using DeviceDriver::OrbiZo::Communication::OrbiTableComManager;
namespace ErrorCode = DeviceDriver::OrbiZo::ErrorCode;

std::vector<std::string> keyRange(int first, int last) {
    std::vector<std::string> keys;
    for (int key = first; key <= last; ++key) keys.push_back(std::to_string(key));
    return keys;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> keys;
    for (const auto& part : parts) keys.insert(keys.end(), part.begin(), part.end());
    return keys;
}

class Manager : public TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        link.reset();  // the manager opens its own link
    }
    void TearDown() override {
        manager.reset();
        TableFixture::TearDown();
    }

    void open(const char* versionWord) {
        table->answerCode("a1", answer(std::string(":$a10"
                                                   "0001") +
                                       versionWord + "02"));
        manager = std::make_unique<OrbiTableComManager>(
            devicePathFor(table->instanceId()), DeviceDriver::OrbiZo::USB::kDefaultLatencyTimerMs,
            clock);
        table->clearRecord();
        props = manager->propertiesContainer();
    }

    std::unique_ptr<OrbiTableComManager> manager;
    boost::shared_ptr<Properties> props;
};

TEST_F(Manager, KeySetDependsOnTheVersionWord) {
    const auto common = joined({{"44401", "44402"},
                                keyRange(44410, 44412),
                                keyRange(44420, 44429),
                                keyRange(44431, 44435),
                                keyRange(44441, 44443)});
    open("0106");
    EXPECT_EQ(props->keys(), common);
    EXPECT_EQ(props->getValue<unsigned int>("44420"), 0x106u);

    manager.reset();
    open("0107");
    const auto extended = joined({common, keyRange(44450, 44453), keyRange(44460, 44466)});
    auto sorted = extended;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(props->keys(), sorted);
}

TEST_F(Manager, ContainerKeptPastTheManagerFindsNothing) {
    open("0107");
    manager.reset();
    const auto e = thrownBy([&] { props->getValue<unsigned int>("44423"); });
    EXPECT_EQ(e.code, ErrorCode::PropertyNotFound);
    EXPECT_STREQ(e.what(), "Property \"44423\" not found");
}

TEST_F(Manager, IdentityAndVersionValues) {
    open("0109");
    EXPECT_EQ(props->getValue<std::string>("44401"), devicePathFor(table->instanceId()));
    EXPECT_EQ(props->getValue<unsigned int>("44421"), 1u);
    EXPECT_EQ(props->getValue<unsigned int>("44420"), 0x109u);
    EXPECT_EQ(props->getValue<unsigned int>("44422"), 2u);
    EXPECT_TRUE(sent().empty());  // stored values ask nothing
    const auto e = thrownBy([&] { props->setValue<unsigned int>("44420", 0x200u); });
    EXPECT_EQ(e.code, ErrorCode::PropertyReadOnly);
}

TEST_F(Manager, SerialNumberIsAskedOnce) {
    open("0106");
    const int before = table->serialNumberReads();
    EXPECT_EQ(props->getValue<std::string>("44402"), table->instanceId());
    const int afterFirst = table->serialNumberReads();
    EXPECT_GT(afterFirst, before);
    EXPECT_EQ(props->getValue<std::string>("44402"), table->instanceId());
    EXPECT_EQ(table->serialNumberReads(), afterFirst);
}

TEST_F(Manager, MetricsAreAskedOnEveryRead) {
    open("0106");
    table->answerCode("a2", answer(":$a20"
                                   "00000001000000020000000300000004"
                                   "000000050000000600000007"));
    EXPECT_EQ(props->getValue<unsigned int>("44423"), 1u);
    EXPECT_EQ(props->getValue<unsigned int>("44423"), 1u);
    EXPECT_EQ(props->getValue<unsigned int>("44429"), 7u);
    EXPECT_EQ(sent().size(), 3u);
}

TEST_F(Manager, RawLineWriteAndRead) {
    open("0106");
    const std::string statusAnswer = answer(":$a00090000");
    table->answerCode("a0", statusAnswer);
    props->setValue<std::string>("44441", ";a0");
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(hexBytes(sent()[0]), "3B 61 30 33 34 0D");

    props->setValue<unsigned int>("44442", 6);
    EXPECT_EQ(props->getValue<std::string>("44441"), statusAnswer.substr(0, 6));
    props->setValue<unsigned int>("44442", 50);  // more than arrives within 100 ms
    EXPECT_EQ(props->getValue<std::string>("44441"), statusAnswer.substr(6));
}

TEST_F(Manager, RawReadCountIsCappedAtTheReceiveBuffer) {
    open("0106");
    props->setValue<unsigned int>("44442", 131072);
    EXPECT_EQ(props->getValue<std::string>("44441"), "");
    props->setValue<unsigned int>("44442", 131073);
    const auto e = thrownBy([&] { props->getValue<std::string>("44441"); });
    EXPECT_EQ(e.code, ErrorCode::RawReadTooLong);
    EXPECT_STREQ(e.what(), "Raw read of 131073 bytes exceeds 131072 bytes");
}

TEST_F(Manager, BufferReadFillsItsResults) {
    open("0107");
    table->answerCode("y3", answer(":$y300002"));
    table->answerCode("y1", answer(":$y10"
                                   "00020002fffe"
                                   "00010002"
                                   "fffd0003"));
    props->setValue<unsigned short>("44463", 1);
    const auto lines = sent();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 3), ";y3");
    EXPECT_EQ(lines[1].substr(0, 3), ";y1");
    EXPECT_EQ(props->getValue<unsigned short>("44464"), 0xFFFE);
    EXPECT_EQ(props->getValue<std::string>("44465"), "1;2");
    EXPECT_EQ(props->getValue<std::string>("44466"), "-3;3");

    const auto e = thrownBy([&] { props->getValue<unsigned short>("44463"); });
    EXPECT_STREQ(e.what(), "Value of dynamic property wasn't set");
    EXPECT_EQ(e.code, ErrorCode::DynamicPropertyUnset);
}

TEST_F(Manager, ExtendedPropertiesReachTheirCommands) {
    open("0107");
    table->answerCode("y4", answer(":$y401234"));
    table->answerCode("c3", answer(":$c30"));
    table->answerCode("c5", answer(":$c50"));
    table->answerCode("y2", answer(":$y20"));
    EXPECT_EQ(props->getValue<unsigned short>("44460"), 0x1234);
    EXPECT_EQ(props->getValue<unsigned short>("44460"), 0x1234);  // cached
    props->setValue<bool>("44450", false);
    props->setValue<unsigned short>("44453", 0x42);
    props->setValue<unsigned short>("44462", 0x100);
    const auto lines = sent();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 3), ";y4");
    EXPECT_EQ(lines[1].substr(0, 3), ";c3");
    EXPECT_EQ(lines[2].substr(0, 5), ";c542");
    EXPECT_EQ(lines[3].substr(0, 7), ";y20100");
}

TEST_F(Manager, TableThatDoesNotAnswerTheVersionQuery) {
    const auto e = thrownBy([&] {
        manager = std::make_unique<OrbiTableComManager>(
            devicePathFor(table->instanceId()), DeviceDriver::OrbiZo::USB::kDefaultLatencyTimerMs,
            clock);
    });
    EXPECT_EQ(e.code, ErrorCode::UnknownAcknowledge);
    EXPECT_EQ(manager, nullptr);
    ASSERT_FALSE(sent().empty());
    EXPECT_EQ(sent().back().substr(0, 3), ";a1");
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane

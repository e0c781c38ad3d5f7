#include <gtest/gtest.h>

#include <boost/bind/bind.hpp>
#include <boost/make_shared.hpp>
#include <stdexcept>

#include "utilities/DynamicProperty.h"
#include "utilities/Property.h"

using namespace Korvane::DeviceDriver::OrbiZo::Utilities::Configuration;
using Korvane::DeviceDriver::OrbiZo::OrbiZoException;

namespace {

template <typename F>
void expectOrbiZoError(F action, const char* message, std::int32_t code) {
    try {
        action();
        FAIL() << "no exception, expected: " << message;
    } catch (const OrbiZoException& e) {
        EXPECT_STREQ(e.what(), message);
        EXPECT_EQ(e.code, code) << std::hex << e.code;
    }
}

}  // namespace

// Reading as another type goes through the property's text form.
TEST(PropertyConversion, GetAsThroughText) {
    Property<std::string> text(std::string("1234"));
    EXPECT_EQ(text.getAs<unsigned int>(), 1234u);
    EXPECT_EQ(text.getAs<unsigned short>(), 1234);
    EXPECT_EQ(text.getAs<std::string>(), "1234");

    Property<bool> flag(true);
    EXPECT_EQ(flag.getAs<std::string>(), "1");
    EXPECT_EQ(flag.getAs<unsigned int>(), 1u);

    Property<unsigned short> word(7);
    EXPECT_EQ(word.getAs<std::string>(), "7");
    EXPECT_EQ(word.getAs<unsigned int>(), 7u);

    Property<std::string> one(std::string("1"));
    EXPECT_TRUE(one.getAs<bool>());
}

TEST(PropertyConversion, GetAsFailuresAreBadCasts) {
    Property<std::string> text(std::string("abc"));
    EXPECT_THROW(text.getAs<unsigned int>(), boost::bad_lexical_cast);
    Property<unsigned int> big(70000);
    EXPECT_THROW(big.getAs<unsigned short>(), boost::bad_lexical_cast);
    Property<unsigned int> two(2);
    EXPECT_THROW(two.getAs<bool>(), boost::bad_lexical_cast);
    // Nothing stored yet: there is no value to convert.
    Property<unsigned int> unset;
    EXPECT_TRUE(unset.getValue().empty());
    EXPECT_THROW(unset.getAs<std::string>(), boost::bad_any_cast);
}

TEST(PropertyConversion, SetAsThroughText) {
    Property<unsigned int> number(0);
    number.setAs<unsigned short>(7);
    ASSERT_EQ(number.getValue().type(), typeid(unsigned int));
    EXPECT_EQ(boost::any_cast<unsigned int>(number.getValue()), 7u);

    number.setAs<std::string>("42");
    EXPECT_EQ(number.getAs<unsigned int>(), 42u);

    Property<bool> flag(false);
    flag.setAs<unsigned int>(1);
    EXPECT_TRUE(flag.getAs<bool>());

    Property<std::string> text(std::string(""));
    text.setAs<unsigned int>(4000000000u);
    EXPECT_EQ(text.getAs<std::string>(), "4000000000");
}

TEST(PropertyConversion, FailedSetAsKeepsTheOldValue) {
    Property<unsigned int> number(5);
    EXPECT_THROW(number.setAs<std::string>("x5"), boost::bad_lexical_cast);
    Property<unsigned short> word(5);
    EXPECT_THROW(word.setAs<unsigned int>(65536), boost::bad_lexical_cast);
    Property<bool> flag(true);
    EXPECT_THROW(flag.setAs<unsigned int>(2), boost::bad_lexical_cast);
    EXPECT_EQ(number.getAs<unsigned int>(), 5u);
    EXPECT_EQ(word.getAs<unsigned short>(), 5);
    EXPECT_TRUE(flag.getAs<bool>());
}

TEST(PropertyConversion, ListTextForm) {
    Property<std::vector<short>> list(std::vector<short>{-1, 2, 300});
    EXPECT_EQ(list.getAs<std::string>(), "-1;2;300");
    EXPECT_EQ(list.toString(std::vector<short>{}), "");
    EXPECT_EQ(list.toString(std::vector<short>{-32768}), "-32768");

    list.setAs(std::vector<short>{4, 5});
    EXPECT_EQ(list.getAs<std::vector<short>>(), (std::vector<short>{4, 5}));

    expectOrbiZoError([&] { list.setAs<std::string>("1;2"); },
                      "Wrong type for TemplateBaseProperty<>", 0x0A005104);
    expectOrbiZoError([&] { list.fromString(""); }, "Wrong type for TemplateBaseProperty<>",
                      0x0A005104);
    EXPECT_EQ(list.getAs<std::string>(), "4;5");

    // No way back from text to a list.
    Property<std::string> text(std::string("1;2"));
    EXPECT_THROW(text.getAs<std::vector<short>>(), boost::bad_lexical_cast);
}

TEST(StoredProperty, ReadOnlyRefusesAndKeepsValue) {
    Property<std::string> path(std::string("\\\\?\\usb#x"), true);
    expectOrbiZoError([&] { path.setValue(std::string("other")); }, "Property is read only",
                      0x0A005101);
    expectOrbiZoError([&] { path.setAs<unsigned int>(3); }, "Property is read only", 0x0A005101);
    EXPECT_EQ(path.getAs<std::string>(), "\\\\?\\usb#x");
}

TEST(StoredProperty, CheckFunctionRefusesAndKeepsValue) {
    Property<unsigned int> timeout(100, false, [](const unsigned int& v) { return v <= 2000; });
    timeout.setValue(2000u);
    expectOrbiZoError([&] { timeout.setValue(2001u); }, "Property value check failed", 0x0A005106);
    expectOrbiZoError([&] { timeout.setAs<std::string>("5000"); }, "Property value check failed",
                      0x0A005106);
    EXPECT_EQ(timeout.getAs<unsigned int>(), 2000u);
}

TEST(StoredProperty, ValueOfAnotherTypeIsABadAnyCast) {
    Property<unsigned int> number(1);
    EXPECT_THROW(number.setValue(static_cast<unsigned short>(2)), boost::bad_any_cast);
    EXPECT_THROW(number.setValue(boost::any()), boost::bad_any_cast);
    EXPECT_EQ(number.getAs<unsigned int>(), 1u);
}

// A getter and a setter that count their calls.
class DynamicPropertyTest : public ::testing::Test {
protected:
    unsigned int read() {
        ++getterCalls;
        return source;
    }
    void write(const unsigned int& value) {
        if (value == 666) throw std::runtime_error("refused by table");
        ++setterCalls;
        written = value;
    }
    DynamicProperty<unsigned int>::Getter getter() {
        return boost::bind(&DynamicPropertyTest::read, this);
    }
    DynamicProperty<unsigned int>::Setter setter() {
        return boost::bind(&DynamicPropertyTest::write, this, boost::placeholders::_1);
    }

    unsigned int source = 11;
    unsigned int written = 0;
    int getterCalls = 0;
    int setterCalls = 0;
};

TEST_F(DynamicPropertyTest, CachingCallsTheGetterOnce) {
    DynamicProperty<unsigned int> cached(getter(), setter(), true);
    EXPECT_EQ(cached.getAs<unsigned int>(), 11u);
    source = 12;
    EXPECT_EQ(cached.getAs<unsigned int>(), 11u);
    EXPECT_EQ(getterCalls, 1);

    cached.setValue(30u);
    EXPECT_EQ(written, 30u);
    EXPECT_EQ(cached.getAs<std::string>(), "30");
    EXPECT_EQ(getterCalls, 1);
}

TEST_F(DynamicPropertyTest, WithoutCachingEveryReadCallsTheGetter) {
    DynamicProperty<unsigned int> live(getter(), setter());
    EXPECT_EQ(live.getAs<unsigned int>(), 11u);
    source = 12;
    live.setValue(30u);
    EXPECT_EQ(live.getAs<unsigned int>(), 12u);
    EXPECT_EQ(getterCalls, 2);
}

TEST_F(DynamicPropertyTest, FailingSetterKeepsTheCache) {
    DynamicProperty<unsigned int> cached(getter(), setter(), true);
    cached.setValue(30u);
    EXPECT_THROW(cached.setValue(666u), std::runtime_error);
    EXPECT_EQ(cached.getAs<unsigned int>(), 30u);
    EXPECT_EQ(getterCalls, 0);
}

TEST_F(DynamicPropertyTest, MissingFunctions) {
    DynamicProperty<unsigned int> readOnly(getter());
    expectOrbiZoError([&] { readOnly.setValue(1u); }, "Property is read only", 0x0A005101);
    EXPECT_EQ(setterCalls, 0);

    DynamicProperty<unsigned int> trigger(DynamicProperty<unsigned int>::Getter(), setter());
    trigger.setAs<std::string>("5");
    EXPECT_EQ(written, 5u);
    expectOrbiZoError([&] { trigger.getValue(); }, "Value of dynamic property wasn't set",
                      0x0A005105);

    // With caching, a write-only property reads back what was last set.
    DynamicProperty<unsigned int> remembered(DynamicProperty<unsigned int>::Getter(), setter(),
                                             true);
    expectOrbiZoError([&] { remembered.getValue(); }, "Value of dynamic property wasn't set",
                      0x0A005105);
    remembered.setValue(8u);
    EXPECT_EQ(remembered.getAs<unsigned short>(), 8);
}

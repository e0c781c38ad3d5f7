#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "utilities/DynamicProperty.h"
#include "utilities/Properties.h"
#include "utilities/Property.h"

using namespace Korvane::DeviceDriver::OrbiZo::Utilities::Configuration;
using Korvane::DeviceDriver::OrbiZo::OrbiZoException;

namespace {

Properties::PropertyPtr text(const std::string& value) {
    return boost::make_shared<Property<std::string>>(value);
}

std::string valueOf(const Properties::PropertyPtr& property) {
    return property ? property->getAs<std::string>() : std::string("<null>");
}

}  // namespace

// Three tables in one group, plus the "Global" table. Every table holds the shared key "s"
// and one key of its own; "Global" entries are cleared again after each test.
class PropertiesLookup : public ::testing::Test {
protected:
    void SetUp() override {
        first->set("s", text("first"));
        first->set("f", text("first only"));
        second->set("s", text("second"));
        second->set("g", text("second only"));
        third->set("s", text("third"));
        third->set("g", text("third only"));
        Properties::global().set("lookup.s", text("global"));
        Properties::global().set("g", text("global g"));
    }
    void TearDown() override {
        Properties::global().set("lookup.s", Properties::PropertyPtr());
        Properties::global().set("g", Properties::PropertyPtr());
        Properties::global().setActive(true);
    }

    boost::shared_ptr<Properties> first = boost::make_shared<Properties>(nullptr, "first");
    boost::shared_ptr<Properties> second = boost::make_shared<Properties>(first.get(), "second");
    boost::shared_ptr<Properties> third = boost::make_shared<Properties>(first.get(), "third");
    boost::shared_ptr<Properties> stranger = boost::make_shared<Properties>("stranger");
};

TEST_F(PropertiesLookup, OwnTableThenGroupInJoinOrderThenGlobal) {
    EXPECT_EQ(valueOf(third->find("s")), "third");
    EXPECT_EQ(valueOf(third->find("f")), "first only");
    EXPECT_EQ(valueOf(first->find("g")), "second only");
    EXPECT_EQ(valueOf(third->find("g")), "third only");
    EXPECT_EQ(valueOf(first->find("lookup.s")), "global");
    EXPECT_EQ(valueOf(stranger->find("g")), "global g");
    EXPECT_FALSE(stranger->find("f"));
    EXPECT_FALSE(first->find("missing"));
}

TEST_F(PropertiesLookup, InactiveTablesAreSkipped) {
    third->setActive(false);
    EXPECT_FALSE(third->isActive());
    // Its own table too: the lookup falls through to the first member holding the key.
    EXPECT_EQ(valueOf(third->find("s")), "first");
    EXPECT_EQ(valueOf(third->find("g")), "second only");

    second->setActive(false);
    EXPECT_EQ(valueOf(first->find("g")), "global g");

    Properties::global().setActive(false);
    EXPECT_FALSE(first->find("g"));
    EXPECT_FALSE(stranger->find("lookup.s"));
}

TEST_F(PropertiesLookup, TypedAccessReachesGroupMembers) {
    second->set("44443", boost::make_shared<Property<unsigned int>>(100));
    third->setValue<unsigned short>("44443", 250);
    EXPECT_EQ(second->getValue<unsigned int>("44443"), 250u);
    EXPECT_EQ(first->getValue<std::string>("44443"), "250");
}

TEST_F(PropertiesLookup, LeavingMembersTakeTheirKeysAlong) {
    second.reset();
    EXPECT_EQ(valueOf(first->find("g")), "third only");
    // The group outlives its founder.
    first.reset();
    Properties late(third.get(), "late");
    EXPECT_EQ(valueOf(late.find("s")), "third");
    EXPECT_EQ(valueOf(late.find("f")), "<null>");
}

TEST(PropertiesGroup, SiblingInNoGroupIsRefused) {
    alignas(Properties) unsigned char notATable[sizeof(Properties)] = {};
    const Properties* bogus = reinterpret_cast<const Properties*>(notATable);
    try {
        Properties orphan(bogus, "orphan");
        FAIL() << "no exception";
    } catch (const OrbiZoException& e) {
        EXPECT_STREQ(e.what(), "Illegal parameter for constructor of Properties.");
        EXPECT_EQ(e.code, 0x0A005103);
    }
}

TEST(PropertiesGroup, GlobalTable) {
    EXPECT_EQ(&Properties::global(), &Properties::global());
    EXPECT_EQ(Properties::global().getName(), "Global");
    EXPECT_TRUE(Properties::global().isActive());
}

TEST(PropertiesTable, RegistrationAndKeyOrder) {
    Properties table("OrbiTableComManager");
    EXPECT_EQ(table.getName(), "OrbiTableComManager");
    table["9"] = boost::make_shared<Property<bool>>(true);
    table.set("10", text("ten"));
    table.set("44401", text("old"));
    table.set("44401", text("new"));
    EXPECT_EQ(table.keys(), (std::vector<std::string>{"10", "44401", "9"}));
    EXPECT_EQ(table.getValue<std::string>("44401"), "new");
    EXPECT_TRUE(table.getValue<bool>("9"));
    table.setValue("10", "eleven");
    EXPECT_EQ(table.getValue<std::string>("10"), "eleven");
}

TEST(PropertiesTable, KeyErrors) {
    Properties table("keys");
    table.set("1", boost::make_shared<Property<unsigned int>>(1));
    struct Case {
        const char* name;
        std::function<void()> action;
        const char* message;
    } cases[] = {
        {"get empty", [&] { table.getValue<unsigned int>(""); }, "Invalid Property key"},
        {"set empty", [&] { table.setValue<unsigned int>("", 1); }, "Invalid Property key"},
        {"get missing", [&] { table.getValue<std::string>("44499"); },
         "Property \"44499\" not found"},
        {"set missing", [&] { table.setValue<bool>("2", true); }, "Property \"2\" not found"},
    };
    for (const Case& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const OrbiZoException& e) {
            EXPECT_STREQ(e.what(), c.message) << c.name;
            EXPECT_EQ(e.code, 0x0A005102) << c.name;
        }
    }
}

TEST(PropertiesTable, ConversionErrorsReachTheCaller) {
    Properties table("conversions");
    table.set("44465", boost::make_shared<Property<std::vector<short>>>(std::vector<short>{}));
    table.set("44441", text("abc"));
    table.setValue("44465", std::vector<short>{-1, 2, 300});
    EXPECT_EQ(table.getValue<std::string>("44465"), "-1;2;300");
    EXPECT_THROW(table.setValue<std::string>("44465", "1"), OrbiZoException);
    EXPECT_THROW(table.getValue<unsigned int>("44441"), boost::bad_lexical_cast);
}

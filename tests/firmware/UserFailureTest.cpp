#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "firmware/UserFailure.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZoException.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::UserFailure;

// Every front end words its failures from this translation, so each kind of exception must come
// out with exactly the texts, code and place it carries.
namespace {

using Korvane::DeviceDriver::OrbiZo::OrbiZoException;

OrbiZoException deviceFailure() {
    OrbiZoException failure(0x0A002002, "Checksum error %1");
    failure.where = "u9 in sector 8";
    return failure;
}

UserFailure translated(const std::function<void()>& thrower) {
    try {
        thrower();
    } catch (...) {
        return UserFailure::fromCurrentException();
    }
    ADD_FAILURE() << "nothing was thrown";
    return UserFailure();
}

TEST(UserFailure, TranslatesEveryKindOfException) {
    struct Case {
        const char* name;
        std::function<void()> thrower;
        UserFailure::Source source;
        QString caption, text, detail, coded;
        std::int32_t code;
        QString where, reason;
    } cases[] = {
        {"message wrapping a device failure",
         [] { throw MessageException("Title", "Text", deviceFailure()); },
         UserFailure::Source::Message, "Title", "Text",
         "Checksum error %1 (0xa002002), u9 in sector 8",
         "Checksum error %1 (0xa002002), u9 in sector 8", 0x0A002002, "u9 in sector 8", ""},
        {"message of its own", [] { throw MessageException("", "No valid firmware (12)"); },
         UserFailure::Source::Message, "", "No valid firmware (12)", "", "", 0, "", ""},
        {"device failure", [] { throw deviceFailure(); }, UserFailure::Source::Device, "", "",
         "Checksum error %1, u9 in sector 8", "Checksum error %1 (0xa002002), u9 in sector 8",
         0x0A002002, "u9 in sector 8", "Checksum error %1"},
        {"standard exception", [] { throw std::runtime_error("out of luck"); },
         UserFailure::Source::Standard, "", "", "out of luck", "out of luck", 0, "", "out of luck"},
        {"anything else", [] { throw 42; }, UserFailure::Source::Unknown, "", "", "", "", 0, "",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UserFailure failure = translated(c.thrower);
        EXPECT_EQ(failure.source, c.source);
        EXPECT_EQ(failure.caption, c.caption);
        EXPECT_EQ(failure.text, c.text);
        EXPECT_EQ(failure.detail, c.detail);
        EXPECT_EQ(failure.codedDetail(), c.coded);
        EXPECT_EQ(failure.code, c.code);
        EXPECT_EQ(failure.where, c.where);
        EXPECT_EQ(failure.reason, c.reason);
    }
}

}  // namespace

#include <gtest/gtest.h>

#include "utilities/MessageException.h"
#include "utilities/OrbiZoException.h"

using Korvane::DeviceDriver::OrbiZo::OrbiZoException;
using Korvane::Utilities::KorvaneException;

namespace {

const char* const kChecksumMessage = "Checksum error in sector 3.";

void throwChecksumError() {
    throw OrbiZoException(0x0A003083, kChecksumMessage);
}

}  // namespace

// A device failure reads the same under every type a handler may name.
TEST(Exceptions, OrbiZoExceptionThroughEachCatchType) {
    try {
        throwChecksumError();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), kChecksumMessage);
    }
    try {
        throwChecksumError();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), kChecksumMessage);
    }
    try {
        throwChecksumError();
    } catch (const KorvaneException& e) {
        EXPECT_STREQ(e.what(), kChecksumMessage);
        EXPECT_EQ(e.code, 0x0A003083);
    }
    try {
        throwChecksumError();
    } catch (const OrbiZoException& e) {
        EXPECT_EQ(e.code, 0x0A003083);
    }
}

TEST(Exceptions, CopiesKeepMessageAndCode) {
    const OrbiZoException original(0x0A002002, "Read timeout");
    const KorvaneException copy(original);
    EXPECT_STREQ(copy.what(), "Read timeout");
    EXPECT_EQ(copy.code, 0x0A002002);
}

TEST(Exceptions, MessageExceptionDetail) {
    const MessageException plain("No OrbiZo3 connected", "Connect an OrbiZo3 instrument.");
    EXPECT_EQ(plain.title, "No OrbiZo3 connected");
    EXPECT_EQ(plain.text, "Connect an OrbiZo3 instrument.");
    EXPECT_TRUE(plain.detail.isEmpty());

    struct Case {
        std::int32_t code;
        const char* message;
        const char* detail;
    } cases[] = {
        {0x0A002002, "Read timeout", "Read timeout (0xa002002)"},
        {0x0A00204C, "Invalid start address: 7", "Invalid start address: 7 (0xa00204c)"},
        // Placeholders inside the cause's text are text, not places for the code.
        {0x0A002006, "Zo communication error %1 at 50%",
         "Zo communication error %1 at 50% (0xa002006)"},
        {0x0A003085, "", " (0xa003085)"},
    };
    for (const Case& c : cases) {
        const MessageException e("OrbiZo3 disconnected", "text",
                                 OrbiZoException(c.code, c.message));
        EXPECT_EQ(e.detail.toStdString(), c.detail);
        EXPECT_EQ(e.title, "OrbiZo3 disconnected");
    }
}

TEST(Exceptions, StdExceptionHandlerDoesNotCatchMessageException) {
    bool caughtAsStd = false;
    bool caughtAsMessage = false;
    try {
        try {
            throw MessageException("title", "text");
        } catch (const std::exception&) {
            caughtAsStd = true;
        }
    } catch (const MessageException& e) {
        caughtAsMessage = true;
        EXPECT_EQ(e.text, "text");
    }
    EXPECT_FALSE(caughtAsStd);
    EXPECT_TRUE(caughtAsMessage);
}

#include <gtest/gtest.h>

#include "communication/OrbiTableComCommand.h"
#include "communication/TableFixture.h"
#include "utilities/ErrorCodes.h"

namespace Korvane {
namespace Testing {
namespace {

using DeviceDriver::OrbiZo::Communication::OrbiTableComCommand;
namespace ErrorCode = DeviceDriver::OrbiZo::ErrorCode;

struct AnswerCase {
    char code1;
    char code2;
    std::int32_t expectedLength;
    std::uint8_t errorByte;
    const char* response;
    const char* message;  // nullptr: the answer passes
};

TEST(CommandRecord, CheckAnswer) {
    const AnswerCase cases[] = {
        {'y', '3', 4, 5, "01a2", "Zo communication error y3: 5"},
        {'r', ' ', 0, 0xFF, "", "Zo communication error r : 255"},
        {'a', '2', 10, 0, "12345cs\r", "Zo communication response a2: 8/10"},
        {'a', '2', 10, 0, "12345678cs", nullptr},
        {'c', '3', 0, 0, "", nullptr},
        {'c', '3', 0, 0, "x", "Zo communication response c3: 1/0"},
    };
    for (const AnswerCase& c : cases) {
        OrbiTableComCommand command(c.code1, c.code2, c.expectedLength);
        command.errorByte = c.errorByte;
        command.setResponse(c.response);
        if (c.message == nullptr) {
            EXPECT_NO_THROW(command.checkAnswer()) << c.code1 << c.code2;
            continue;
        }
        const auto e = thrownBy([&] { command.checkAnswer(); });
        EXPECT_STREQ(e.what(), c.message);
        EXPECT_EQ(e.code, ErrorCode::CommunicationError);
    }
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane

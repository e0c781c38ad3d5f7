#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

// One command line and what its answer left behind. A command group builds one on the stack,
// fills it, hands it to OrbiTableCommunication::execute and reads the result out of it.
class OrbiTableComCommand {
public:
    // Acknowledge values: the second character of every answer line.
    enum Acknowledge : std::int32_t {
        AckAccepted = 1,  // '!': a completion line follows
        AckNak = 2,       // '&'
        AckBusy = 3,      // '#'
        AckData = 4,      // '$': the data block is in this line
        AckNone = 5,      // anything else, or no line parsed yet
    };

    // code2 blank (0x20) means the code has one character only.
    OrbiTableComCommand(char code1, char code2, std::int32_t expectedLength);
    virtual ~OrbiTableComCommand();

    void setArguments(const std::string& text);
    std::string responseText() const;
    void setResponse(const std::string& text);

    // Throws "Zo communication error ..." for a non-zero error value (0xFF: the answer had no
    // error character) and "Zo communication response ..." for a data length other than
    // expectedLength.
    void checkAnswer() const;

    bool hasCode2() const { return code2 != ' '; }

    char code1;
    char code2;
    std::uint8_t errorByte = 0xFF;  // 0xFF: no parsed line carried an error character
    std::int32_t expectedLength;
    std::vector<std::uint8_t> arguments;
    std::vector<std::uint8_t> response;
    std::uint32_t answerTimeout = 2000;  // ms: first read of an answer line, each read up to CR
    std::uint32_t dataTimeout = 2000;    // ms: data block after '$', first read of a completion
    std::int32_t acknowledge = AckNone;
    std::int32_t attempts = 0;       // tries of the whole exchange; 0 and 1 both mean one
    std::uint32_t retryDelay = 500;  // ms between two tries
};

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

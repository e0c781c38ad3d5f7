#include "simulator/ApplicationCommands.h"

namespace Korvane {
namespace Simulator {

namespace {

// The values a2 reports: operating hours, cycles and the like, fixed for a simulated table.
constexpr std::uint32_t kMetrics[7] = {0x0001E240, 0x00000D80, 0x0000002A, 0x00010000,
                                       0x000003E8, 0x00000007, 0x12345678};
constexpr std::uint16_t kWordY4 = 0x0190;
constexpr std::uint16_t kWordY5 = 0x0032;
// What c4 measures.
constexpr std::uint8_t kMeasuredValue = 0x2A;
// Arguments of the wrong length or with other characters than hex digits.
constexpr std::uint8_t kArgumentError = 3;

std::int16_t sampleA(std::uint32_t i) {
    return static_cast<std::int16_t>((i * 37) % 2001) - 1000;
}
std::int16_t sampleB(std::uint32_t i) {
    return static_cast<std::int16_t>(-sampleA(i) / 2);
}

std::string word(std::int32_t value) {
    return LineFormat::hex(static_cast<std::uint32_t>(value) & 0xFFFF, 4);
}

}  // namespace

void ApplicationCommands::reset() {
    bufferSize = kStartBufferSize;
    bufferReads = 0;
    switchA = false;
    switchB = true;
    triggered = false;
    storedValue = 0;
    motors = false;
}

std::size_t ApplicationCommands::answerLength(const std::string& code) const {
    if (code == "a2") return 56;
    if (code == "y1") return bufferSize * 8u + 12u;
    if (code == "y3" || code == "y4" || code == "y5") return 4;
    if (code.size() == 2 && code[0] == 'f' && code[1] >= '0' && code[1] <= '4') return 2;
    if (code == "c2" || code == "c4" || code == "c6") return 2;
    return 0;
}

bool ApplicationCommands::handle(const CommandLine& command, const TimingModel& timing,
                                 TableReply& reply) {
    const std::string& c = command.code;
    if (c == "a2") {
        std::string data;
        for (std::uint32_t m : kMetrics) data += LineFormat::hex(m, 8);
        reply = TableReply::withData(data);
    } else if (c == "y1") {
        reply = bufferRead();
    } else if (c == "y2") {
        reply = setBufferSize(command.arguments);
    } else if (c == "y3") {
        reply = TableReply::withData(LineFormat::hex(bufferSize, 4));
    } else if (c == "y4") {
        reply = TableReply::withData(LineFormat::hex(kWordY4, 4));
    } else if (c == "y5") {
        reply = TableReply::withData(LineFormat::hex(kWordY5, 4));
    } else if (c.size() == 2 && c[0] == 'f' && c[1] >= '0' && c[1] <= '4') {
        reply = switches(c[1]);
    } else if (c == "c2") {
        reply = TableReply::withData(triggered ? "01" : "00");
    } else if (c == "c3") {
        triggered = true;
        reply = TableReply::done();
    } else if (c == "c4") {
        reply = TableReply::withData(LineFormat::hex(kMeasuredValue, 2));
        if (timing.enabled) reply.dataDelay = timing.measurement;
    } else if (c == "c5") {
        std::uint32_t value = 0;
        if (command.arguments.size() != 2 || !LineFormat::readHex(command.arguments, value)) {
            reply = TableReply::failed(kArgumentError);
        } else {
            storedValue = static_cast<std::uint8_t>(value);
            reply = TableReply::done();
        }
    } else if (c == "c6") {
        reply = TableReply::withData(LineFormat::hex(storedValue, 2));
    } else if (c == "s0" || c == "s1") {
        motors = c[1] == '1';
        reply = TableReply::done();
    } else {
        return false;
    }
    return true;
}

// T slots of series A, then T slots of series B after a header of total T, valid count V and
// a sequence number; slots past V read 0.
TableReply ApplicationCommands::bufferRead() {
    const std::uint32_t total = bufferSize;
    const std::uint32_t valid = total < kSamples ? total : kSamples;
    std::string data = word(static_cast<std::int32_t>(total)) +
                       word(static_cast<std::int32_t>(valid)) + word(bufferReads++);
    for (std::uint32_t i = 0; i < total; ++i) data += word(i < valid ? sampleA(i) : 0);
    for (std::uint32_t i = 0; i < total; ++i) data += word(i < valid ? sampleB(i) : 0);
    return TableReply::withData(data);
}

TableReply ApplicationCommands::setBufferSize(const std::string& arguments) {
    std::uint32_t size = 0;
    if (arguments.size() != 4 || !LineFormat::readHex(arguments, size)) {
        return TableReply::failed(kArgumentError);
    }
    if (size < kMinBufferSize) return TableReply::failed(1);
    if (size > kMaxBufferSize) return TableReply::failed(2);
    bufferSize = static_cast<std::uint16_t>(size);
    return TableReply::done();
}

// f0/f1 switch A off/on, f2/f3 switch B off/on; all five answer with the switch value:
// bit 0 set while A is on, bit 1 set while B is off.
TableReply ApplicationCommands::switches(char code2) {
    switch (code2) {
        case '0':
            switchA = false;
            break;
        case '1':
            switchA = true;
            break;
        case '2':
            switchB = false;
            break;
        case '3':
            switchB = true;
            break;
        default:
            break;
    }
    return TableReply::withData(switchValue());
}

std::string ApplicationCommands::switchValue() const {
    return LineFormat::hex((switchA ? 1u : 0u) | (switchB ? 0u : 2u), 2);
}

}  // namespace Simulator
}  // namespace Korvane

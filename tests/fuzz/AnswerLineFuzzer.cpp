// Arbitrary bytes as the table's answer to one command of each kind the updater sends: the line
// reader must end every exchange with a result or an OrbiZoException, never read without bound,
// and leave the record consistent.
//   input: byte 0 picks the command kind, the rest is what the table sends back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <boost/make_shared.hpp>

#include "FuzzTable.h"
#include "communication/OrbiTableComCommand.h"
#include "communication/OrbiTableComFlash.h"
#include "communication/OrbiTableComInfo.h"
#include "utilities/OrbiZoException.h"
#include "utilities/Properties.h"

using namespace Korvane::DeviceDriver::OrbiZo;
using Communication::OrbiTableComCommand;

namespace {

struct Kind {
    char code1;
    char code2;
    std::int32_t expectedLength;
};

// The commands of an update and an identification, with the data lengths they expect.
constexpr Kind kKinds[] = {
    {'a', '0', 6}, {'a', '1', 10}, {'r', ' ', 0}, {'o', '0', 0}, {'u', '0', 0}, {'u', '1', 0},
    {'u', '2', 0}, {'u', '3', 6},  {'u', '7', 8}, {'u', '9', 0}, {'u', 'A', 0}, {'y', '3', 4},
};
constexpr std::size_t kKindCount = sizeof(kKinds) / sizeof(kKinds[0]);
// Short time-outs keep each input fast; the loops are bounded by bytes, not only by time.
constexpr std::uint32_t kTimeoutMs = 20;

void check(bool condition) {
    if (!condition) std::abort();
}

void runRecord(Communication::OrbiTableComFlash& group, const Kind& kind) {
    OrbiTableComCommand command(kind.code1, kind.code2, kind.expectedLength);
    command.answerTimeout = kTimeoutMs;
    command.dataTimeout = kTimeoutMs;
    try {
        group.execute(command);
    } catch (const OrbiZoException&) {
    }
    check(command.answerTimeout == kTimeoutMs && command.dataTimeout == kTimeoutMs);
    check(command.acknowledge >= OrbiTableComCommand::AckAccepted &&
          command.acknowledge <= OrbiTableComCommand::AckNone);
    check(command.response.size() <= static_cast<std::size_t>(kind.expectedLength));
    try {
        command.checkAnswer();
    } catch (const OrbiZoException&) {
    }
}

// The group operations that read values out of an answer.
void runOperation(Communication::OrbiTableComFlash& flash, Communication::OrbiTableComInfo& info,
                  std::uint8_t selector) {
    try {
        switch (selector % 4) {
            case 0: {
                std::uint32_t unused = 0;
                flash.blankCheckSectors(4, 4, unused);
                break;
            }
            case 1:
                flash.readChecksum(0x8000, 0x9FFF);
                break;
            case 2:
                info.readStatus();
                break;
            default: {
                std::uint32_t a = 0, b = 0, c = 0;
                info.readVersion(a, b, c);
                break;
            }
        }
    } catch (const OrbiZoException&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 20000) return 0;
    Korvane::Testing::FuzzTable table;
    auto properties = boost::make_shared<Utilities::Configuration::Properties>("fuzz");
    Communication::OrbiTableComFlash flash(table.link, properties);
    Communication::OrbiTableComInfo info(table.link, properties);

    table.send(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    const std::uint8_t selector = data[0];
    if (selector < 0x80) {
        runRecord(flash, kKinds[selector % kKindCount]);
    } else {
        runOperation(flash, info, selector);
    }
    return 0;
}

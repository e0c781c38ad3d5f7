#pragma once

#include <cstdint>
#include <string>

#include <boost/shared_ptr.hpp>

#include "communication/OrbiTableComCommand.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {

namespace USB {
class SerialUSB;
}
namespace Utilities {
namespace Configuration {
class Properties;
}
}  // namespace Utilities

namespace Communication {

// The table's line protocol, and the base of the four command groups of one table.
//
// A command goes out as ";" code [code2] arguments checksum CR in one write; the answer comes
// back as ":" acknowledge echo [error character] data checksum CR. Everything here runs on the
// caller's thread and blocks in the link's reads (and the retry pause). No lock: the owner of
// the groups runs one command at a time per table.
class OrbiTableCommunication {
public:
    using LinkPtr = boost::shared_ptr<USB::SerialUSB>;
    using PropertiesPtr = boost::shared_ptr<Utilities::Configuration::Properties>;

    // Both pointers are shared by all groups of one table; the manager creates them first.
    OrbiTableCommunication(LinkPtr link, PropertiesPtr properties);
    virtual ~OrbiTableCommunication();

    // The whole exchange: tries transact up to `attempts` times with `retryDelay` between
    // tries, and after a '!' reads the completion line (whose acknowledge is not judged).
    // Input left from a failed try is discarded before the next. Results are left in the
    // record; failures throw OrbiZoException with the command code in `where`. A table that is
    // gone ends the exchange at once, without further tries.
    void execute(OrbiTableComCommand& command);

    // One command line and its answer; throws for NAK, busy and a missing acknowledge.
    void transact(OrbiTableComCommand& command);

    // Reads one answer line with up to five attempts. Each failed attempt shortens both
    // time-outs of the record by its duration; both are back at their entry values on return.
    // After five failures the record keeps the last parsed state and nothing is thrown; only a
    // table that is gone ("Connection to device lost") ends it at once, with that error.
    void receiveAnswer(OrbiTableComCommand& command);

    // Reads and verifies one line, then stores acknowledge, error value and data in the record.
    void readAnswerLine(OrbiTableComCommand& command);

    // Exactly count characters from the link, or "Read timeout".
    std::string readExact(std::uint32_t count, std::uint32_t timeoutMs);

    static std::string buildFrame(const OrbiTableComCommand& command);

    // The command's code as the table knows it ("u9", "r"): what failures name in `where`.
    static std::string commandCode(const OrbiTableComCommand& command);

    // Two lower-case hex digits that bring the byte sum of text plus checksum to 0 mod 256.
    static std::string lineChecksum(const std::string& text);

    // line without its CR: its last two characters are hex digits equal to the checksum of
    // everything before them (either case).
    static bool checksumValid(const std::string& line);

    // A time-out after an attempt of elapsedMs: one that would drop below zero becomes 10 ms,
    // or the entry value when that is smaller.
    static std::uint32_t shortenedTimeout(std::uint32_t current, std::uint32_t saved,
                                          std::uint32_t elapsedMs);

protected:
    LinkPtr link;
    PropertiesPtr properties;
};

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

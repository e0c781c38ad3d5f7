#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <ostream>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {
class UserFailure;
}
namespace Cli {

using Firmware::UserFailure;

class DeviceSelection;

// --json: a command writes exactly one JSON document on standard output and nothing else there
// (no progress, no questions). A failure is the document
//   {"error": {"code": "0x0a002002", "message": "...", "detail": "..."}}
// with the device's error code (ErrorCodes.h), or "0x00000000" for a failure the program finds
// itself (no table, a file that cannot be read, a usage error); the exit code is the same as
// without --json. A service bench (--all) writes JSON Lines instead: one event per line
// (BenchProgress), ending with its summary.
class JsonOutput {
public:
    static QCommandLineOption option();
    static bool requested(const QCommandLineParser& parser);

    // One line, compact, ended by a newline and flushed.
    static void write(std::ostream& out, const QJsonObject& document);

    // The error document; `extra` adds members beside "error" (what was found before it).
    static QJsonObject error(std::int32_t code, const QString& message, const QString& detail,
                             const QJsonObject& extra = QJsonObject());
    // message: caption (or `fallbackTitle` when it has none) and text, joined by ": ".
    static QJsonObject error(const UserFailure& failure, const QString& fallbackTitle,
                             const QJsonObject& extra = QJsonObject());

    // The usage error of a command that asks questions, run with --json but without --yes:
    // nobody would be there to answer. Returns the usage exit code.
    static int refuseWithoutYes(const QString& command, std::ostream& out);

    // DeviceSelection::usable, its refusal as the JSON error in JSON mode.
    static bool usable(const DeviceSelection& selection, bool json, std::ostream& out,
                       std::ostream& err);

    // "0x" and `digits` lower-case hexadecimal digits.
    static QString hex(std::uint32_t value, int digits = 8);
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QString>
#include <ostream>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {
class UserFailure;
}
namespace Cli {

using Firmware::UserFailure;

// Prints a failure as the window's error box shows it: the caption (a fallback when the
// failure has none), the explanation, and the technical detail in brackets; empty parts are
// left out.
class UserMessage {
public:
    static void print(std::ostream& err, const UserFailure& failure, const QString& fallbackTitle);
    static void print(std::ostream& err, const QString& title, const QString& text,
                      const QString& detail);
    // One of the window's own texts, translated as the window translates it.
    static QString windowText(const char* text, const char* comment = nullptr);
    // The caption of an update's or a verify's failure that brings none: for an update the
    // window's, so that one translation serves both.
    static QString updateFailureTitle();
    static QString verifyFailureTitle();
    // Writes a history warning on its own line.
    static void warn(std::ostream& err, const QString& warning);
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QString>
#include <cstdint>

namespace Korvane {
namespace Utilities {
class KorvaneException;
}
}  // namespace Korvane

// What the user is told about a failure: headline, explanation and technical detail.
// Deliberately not a std::exception, so handlers of device failures do not catch it.
class MessageException {
public:
    MessageException(const QString& title, const QString& text);
    // detail becomes "<cause what()> (0x<cause code, lower-case hex>)", followed by
    // ", <cause where>" when the cause says where it happened.
    MessageException(const QString& title, const QString& text,
                     const Korvane::Utilities::KorvaneException& cause);

    QString title;
    QString text;
    QString detail;
    // The cause's code (ErrorCodes.h); 0 when the failure has no cause below the application.
    std::int32_t code = 0;
    // The cause's place ("u9 in sector 8"); empty when unknown or without a cause.
    QString where;
};

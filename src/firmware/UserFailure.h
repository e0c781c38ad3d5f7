#pragma once

#include <QString>
#include <cstdint>
#include <exception>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

// What a person reads about a failure, translated from whatever exception ended the work: the
// one place that tells MessageException, KorvaneException (OrbiZoException), other
// std::exceptions and anything else apart. The front ends (the window's worker and controller,
// every orbizo3-cli command) catch everything, translate the current exception and word the
// result their own way:
//
//   thrown                  caption / text   detail                         code   where
//   MessageException        its title, text  its detail                     its    its cause's
//   KorvaneException        empty            what(), ", <where>" if known   its    its
//   other std::exception    empty            what()                         0      empty
//   anything else           empty            empty                          0      empty
//
// `reason` is what() alone (empty for a MessageException and the unknown). A plain value.
class UserFailure {
public:
    enum class Source { Message, Device, Standard, Unknown };

    // The exception being handled; call it inside a catch block only.
    static UserFailure fromCurrentException();
    static UserFailure from(const std::exception_ptr& failure);

    // The caption, or `fallback` when there is none.
    QString captionOr(const QString& fallback) const;
    // The detail as a MessageException wrapping a device failure words it:
    // "<what()> (0x<code, lower-case hex>)" and ", <where>" when known. For any other failure
    // the detail as it is.
    QString codedDetail() const;

    Source source = Source::Unknown;
    QString caption;
    QString text;
    QString detail;
    // The error code (ErrorCodes.h); 0 when the failure has none below the application.
    std::int32_t code = 0;
    // The command and sector the failure happened in ("u9 in sector 8"), when known.
    QString where;
    QString reason;

private:
    QString coded;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

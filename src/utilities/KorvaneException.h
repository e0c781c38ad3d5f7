#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Korvane {
namespace Utilities {

// Base of every device failure; the facade catches device failures under this type.
// Never thrown directly.
class KorvaneException : public std::runtime_error {
public:
    KorvaneException(std::int32_t code, const std::string& message);

    std::int32_t code;
    // Where the failure happened, filled in by the layers it passes ("u9 in sector 8"); empty
    // when nobody said. Kept apart from the message so that the message stays the known text.
    std::string where;

    // The message, followed by ", <where>" when the place is known.
    std::string describe() const;
};
}  // namespace Utilities
}  // namespace Korvane

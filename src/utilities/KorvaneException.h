#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Korvane { namespace Utilities {

// Base of every device failure; the facade catches device failures under this type.
// Never thrown directly.
class KorvaneException : public std::runtime_error {
public:
    KorvaneException(std::int32_t code, const std::string& message);

    std::int32_t code;
};

}}  // namespace Korvane::Utilities

#include "utilities/KorvaneException.h"

namespace Korvane { namespace Utilities {

KorvaneException::KorvaneException(std::int32_t code, const std::string& message)
    : std::runtime_error(message), code(code) {}

}}  // namespace Korvane::Utilities

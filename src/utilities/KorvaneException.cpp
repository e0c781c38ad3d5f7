#include "utilities/KorvaneException.h"

namespace Korvane {
namespace Utilities {

KorvaneException::KorvaneException(std::int32_t code, const std::string& message)
    : std::runtime_error(message), code(code) {}

std::string KorvaneException::describe() const {
    return where.empty() ? std::string(what()) : std::string(what()) + ", " + where;
}

}  // namespace Utilities
}  // namespace Korvane

#include "utilities/KorvaneException.h"

namespace Korvane { namespace Utilities {

KorvaneException::KorvaneException(std::int32_t code, const std::string& message)
    : std::runtime_error(message), code(code) {}

std::string KorvaneException::describe() const {
    return where.empty() ? std::string(what()) : std::string(what()) + ", " + where;
}

std::string describeFailure(const std::exception& failure) {
    const auto* known = dynamic_cast<const KorvaneException*>(&failure);
    return known != nullptr ? known->describe() : std::string(failure.what());
}
}}  // namespace Korvane::Utilities

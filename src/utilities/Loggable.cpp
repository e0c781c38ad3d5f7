#include "utilities/Loggable.h"

namespace Korvane { namespace Utilities { namespace Logging {

Loggable::Loggable(const std::string&) {}

Loggable::~Loggable() = default;

void Loggable::log(int, const std::string&) {}

}}}  // namespace Korvane::Utilities::Logging

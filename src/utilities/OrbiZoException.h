#pragma once

#include "utilities/ErrorCodes.h"
#include "utilities/KorvaneException.h"

namespace Korvane { namespace DeviceDriver { namespace OrbiZo {

// The one exception of every layer below the application: a code from ErrorCodes.h
// and an English message, built by the thrower (Boost.Format with %1%, %2%, ...).
class OrbiZoException : public Korvane::Utilities::KorvaneException {
public:
    OrbiZoException(std::int32_t code, const std::string& message);
};

}}}  // namespace Korvane::DeviceDriver::OrbiZo

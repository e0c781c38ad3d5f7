#include "utilities/OrbiZoException.h"

namespace Korvane { namespace DeviceDriver { namespace OrbiZo {

OrbiZoException::OrbiZoException(std::int32_t code, const std::string& message)
    : KorvaneException(code, message) {}

}}}  // namespace Korvane::DeviceDriver::OrbiZo

#pragma once

#include <string>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

// The bootloader's text for an error value (low 8 bits used), e.g. "sector locked (7)".
std::string deviceErrorText(unsigned value);

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

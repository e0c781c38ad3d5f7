#include "firmware/DeviceInfo.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

QString DeviceInfo::versionText() const {
    return versionText(firmwareVersion());
}

QString DeviceInfo::versionText(std::uint16_t versionWord) {
    return QString("%1.%2")
        .arg(static_cast<unsigned>(versionWord >> 8))
        .arg(static_cast<unsigned>(versionWord & 0xFF), 2, 10, QChar('0'));
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

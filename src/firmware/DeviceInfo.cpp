#include "firmware/DeviceInfo.h"

QString DeviceInfo::versionText() const {
    return versionText(firmwareVersion());
}

QString DeviceInfo::versionText(std::uint16_t versionWord) {
    return QString("%1.%2")
        .arg(static_cast<unsigned>(versionWord >> 8))
        .arg(static_cast<unsigned>(versionWord & 0xFF), 2, 10, QChar('0'));
}

#pragma once

#include <QString>

#include "firmware/EmbeddedFirmwareVersion.h"

// The fixed names and version texts the application states about itself and its embedded
// firmware.
namespace AppVersion {

// Shown untranslated in the window title and the About box.
inline QString applicationTitle() {
    return QStringLiteral("OrbiZo3 Firmware Updater");
}

// "1.0.80 Build (0)"
inline QString applicationVersionText() {
    return QStringLiteral("%1.%2.%3").arg(1).arg(0).arg(80) + QStringLiteral(" Build (") +
           QString::number(0) + QStringLiteral(")");
}

// "1.09": the version of the firmware compiled into the program.
inline QString embeddedFirmwareVersionText() {
    constexpr auto version = Korvane::DeviceDriver::OrbiZo::Firmware::kEmbeddedFirmwareVersion;
    return QStringLiteral("%1.%2").arg(version >> 8).arg(version & 0xFF, 2, 10, QLatin1Char('0'));
}

// First year of the rights notice in the About box.
constexpr int kLaunchYear = 2005;

// The year this program was built, from the compiler's date ("Mmm dd yyyy").
inline int buildYear() {
    return QString::fromLatin1(__DATE__).right(4).toInt();
}

}  // namespace AppVersion

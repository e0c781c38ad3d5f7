#include "simulator/SimulatedFaultSetting.h"

#include <QStringList>
#include <chrono>

namespace Korvane {
namespace Simulator {

namespace {

// A decimal number in [low, high]; -1 otherwise.
long decimalIn(const QString& text, long low, long high) {
    bool ok = false;
    const long value = text.toLong(&ok, 10);
    return ok && value >= low && value <= high ? value : -1;
}

// A command code as the table's protocol writes it: a letter and a digit or letter.
bool commandCode(const QString& text) {
    return text.size() == 2 && text[0].isLetter() && text[1].isLetterOrNumber();
}

}  // namespace

QString SimulatedFaultSetting::problem(const QString& text) {
    const QStringList parts = text.split(':');
    const QString usage =
        "--simulated-fault takes SERIAL:unplug-after:N, SERIAL:power-loss:SECTOR, "
        "SERIAL:damaged:CODE or SERIAL:slow:CODE:MS, not '" +
        text + "'.";
    if (parts.size() < 3 || parts[0].isEmpty()) return usage;
    const QString& kind = parts[1];
    if (kind == "unplug-after" && parts.size() == 3 && decimalIn(parts[2], 0, 1000000) >= 0)
        return QString();
    if (kind == "power-loss" && parts.size() == 3) {
        const long sector = decimalIn(parts[2], 1, 14);
        if (sector == 1 || sector >= 4) return QString();
    }
    if (kind == "damaged" && parts.size() == 3 && commandCode(parts[2])) return QString();
    if (kind == "slow" && parts.size() == 4 && commandCode(parts[2]) &&
        decimalIn(parts[3], 1, 900) > 0)
        return QString();
    return usage;
}

void SimulatedFaultSetting::arm(const QString& text,
                                const std::vector<std::shared_ptr<SimulatedTable>>& tables) {
    if (text.isEmpty() || !problem(text).isEmpty()) return;
    const QStringList parts = text.split(':');
    for (const auto& table : tables) {
        if (QString::fromStdString(table->serialNumber()) != parts[0]) continue;
        const std::string code = parts[2].toStdString();
        if (parts[1] == "unplug-after") table->unplugAfterCommands(parts[2].toUInt());
        if (parts[1] == "power-loss")
            table->powerLossInSector(static_cast<std::uint16_t>(parts[2].toUInt()));
        // Occurrence 0: every answer, so that the protocol's retries meet it too.
        if (parts[1] == "damaged") table->inject(Fault::wrongChecksum(code, 0));
        if (parts[1] == "slow")
            table->inject(Fault::delayed(code, std::chrono::milliseconds(parts[3].toInt()), 0));
    }
}

}  // namespace Simulator
}  // namespace Korvane

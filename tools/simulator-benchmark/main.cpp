// Times a full update of the embedded firmware, through the updater facade and the whole USB
// stack, into a simulated table: once with the table's timing model off (what the tests see)
// and once with it on (about what a real table takes).
//   orbizo3-simulator-benchmark [off|on|both]   (default both)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QByteArray>
#include <QString>

#include "EmbeddedFirmwareGenerator.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "simulator/SimulatedTable.h"
#include "simulator/SimulatorEnvironment.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/OrbiZo3UsbIds.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;

namespace {

using Korvane::Simulator::SimulatedTable;
using Korvane::Simulator::WireRecord;

QString pathOf(const std::string& serial) {
    using namespace Korvane::DeviceDriver::OrbiZo;
    for (const std::string& path : USB::findDevicePaths(kOrbiZo3VendorId, kOrbiZo3ProductId)) {
        if (path.find("#" + serial + "#") != std::string::npos) {
            return QString::fromStdString(path);
        }
    }
    return QString();
}

int run(bool timing, const QByteArray& firmware) {
    const std::string serial = timing ? "BENCH-TIMED" : "BENCH-FAST";
    // As a program's settings for simulated tables give it: the steady clock with the timing
    // model, else a virtual clock that the table moves.
    Korvane::Utilities::RunSettings settings;
    settings.useSimulatedTables(0);
    settings.setSimulatorTiming(timing);
    auto table = SimulatedTable::create(serial);
    table->enableTiming(timing);
    table->driveClock(settings.virtualClock());
    table->plug();
    OrbiZo3FWUpdater updater(nullptr, settings);
    updater.setDevicePath(pathOf(serial));
    updater.setFirmwareData(firmware);

    const auto begin = std::chrono::steady_clock::now();
    bool done = false;
    try {
        done = updater.downloadFirmware();
    } catch (const std::exception& e) {
        std::printf("timing %-3s failed: %s\n", timing ? "on" : "off", e.what());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    std::size_t lines = 0, sent = 0, received = 0;
    for (const WireRecord& record : table->transcript()) {
        if (record.direction == WireRecord::Direction::ToTable) {
            sent += record.bytes.size();
            for (char c : record.bytes) lines += c == '\r';
        } else if (record.direction == WireRecord::Direction::FromTable) {
            received += record.bytes.size();
        }
    }
    std::printf(
        "timing %-3s %-5s %8.2f s  %6zu command lines  %8zu bytes out  %7zu bytes in  "
        "version %04x\n",
        timing ? "on" : "off", done ? "done" : "ERROR", seconds, lines, sent, received,
        table->firmwareVersion());
    table->unplug();
    return done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // The simulated bus, registered before anything asks for the USB host.
    Korvane::Utilities::RunSettings settings;
    settings.useSimulatedTables(0);
    Korvane::Simulator::SimulatorEnvironment::start(settings);
    const std::string mode = argc > 1 ? argv[1] : "both";
    const std::string text =
        Korvane::DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator::fileText();
    const QByteArray firmware(text.data(), static_cast<int>(text.size()));
    int result = 0;
    if (mode != "on") result |= run(false, firmware);
    if (mode != "off") result |= run(true, firmware);
    return result;
}

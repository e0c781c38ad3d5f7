// Runs the complete update of the embedded firmware through every layer against a simulated
// table whose timing model is on (serial line, converter latency, erase and copy times), twice
// in one process: with the converter's latency timer left at its own 16 ms (the five start-up
// requests only) and with the link's default of 2 ms. For each it prints the measured time, the
// bound modelled from that run's wire transcript and the ratio of the two:
//   latency 16 ms: 43.37 s, bound 44.02 s, ratio 0.99
//   orbizo3-update-benchmark
#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "EmbeddedFirmwareGenerator.h"
#include "ModelledBound.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatedTable.h"
#include "simulator/SimulatorEnvironment.h"
#include "usb/ConverterLatency.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZo3UsbIds.h"

using Clock = std::chrono::steady_clock;
using Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId;
using Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId;
using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceConnection;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;
namespace USB = Korvane::DeviceDriver::OrbiZo::USB;

namespace {

struct Run {
    bool done = false;
    double seconds = 0;
    double bound = 0;
};

// One download over a fresh connection that sets `latencyTimerMs` (or nothing).
Run update(Korvane::Simulator::SimulatedTable& table, const QString& path,
           const QByteArray& firmware, std::uint8_t latencyTimerMs) {
    Korvane::Utilities::RunSettings settings;
    settings.useSimulatedTables(0);
    settings.setSimulatorTiming(true);  // the table keeps real time: so do the time-outs
    settings.setLatencyTimerMs(latencyTimerMs);
    OrbiZo3FWUpdater updater(nullptr, settings);
    updater.setDevicePath(path);
    updater.setFirmwareData(firmware);
    table.clearTranscript();

    Run run;
    const Clock::time_point start = Clock::now();
    try {
        run.done = updater.downloadFirmware();
    } catch (const MessageException& e) {
        std::fprintf(stderr, "%s %s\n", qPrintable(e.title), qPrintable(e.text));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();

    const auto model = table.timing();
    const std::chrono::microseconds latency =
        latencyTimerMs == USB::kKeepConverterLatencyTimer
            ? model.latency
            : std::chrono::microseconds(std::chrono::milliseconds(latencyTimerMs));
    run.bound = ModelledBound(table.transcript(), model, latency).seconds();
    std::printf(
        "latency %d ms: %.2f s, bound %.2f s, ratio %.2f%s\n",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(latency).count()),
        run.seconds, run.bound, run.seconds / run.bound, run.done ? "" : " (FAILED)");
    std::fflush(stdout);
    return run;
}

}  // namespace

int main() {
    Korvane::Utilities::RunSettings settings;
    settings.useSimulatedTables(0);
    Korvane::Simulator::SimulatorEnvironment::start(settings);
    auto table = Korvane::Simulator::SimulatedTable::create("BENCH00001");
    table->enableTiming(true);
    table->plug();
    const auto paths = USB::findDevicePaths(kOrbiZo3VendorId, kOrbiZo3ProductId);
    if (paths.empty()) {
        std::fprintf(stderr, "the simulated table is not present\n");
        return 1;
    }
    const QString path = QString::fromStdString(paths.front());
    const QByteArray firmware = QByteArray::fromStdString(
        Korvane::DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator::fileText());

    const Run slow = update(*table, path, firmware, USB::kKeepConverterLatencyTimer);
    const Run fast = update(*table, path, firmware, USB::kDefaultLatencyTimerMs);
    if (slow.done && fast.done) {
        std::printf("latency %d ms takes %.2f of the time at 16 ms\n",
                    static_cast<int>(USB::kDefaultLatencyTimerMs), fast.seconds / slow.seconds);
    }
    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    return slow.done && fast.done ? 0 : 1;
}

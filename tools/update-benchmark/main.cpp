// Runs one complete update of the embedded firmware through every layer against a simulated
// table whose timing model is on (serial line, converter latency, erase and copy times), and
// prints how long the whole download and each sector took.
//   orbizo3-update-benchmark
#include <QByteArray>
#include <QObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "EmbeddedFirmwareGenerator.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "platform/SimulatedUsbBus.h"
#include "simulator/SimulatedTable.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZo3UsbIds.h"

using Clock = std::chrono::steady_clock;
using Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId;
using Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
    ::setenv("ORBIZO3_SIMULATOR", "0", 1);
    auto table = Korvane::Simulator::SimulatedTable::create("BENCH00001");
    table->enableTiming(true);
    table->plug();
    const auto paths =
        Korvane::DeviceDriver::OrbiZo::USB::findDevicePaths(kOrbiZo3VendorId, kOrbiZo3ProductId);
    if (paths.empty()) {
        std::fprintf(stderr, "the simulated table is not present\n");
        return 1;
    }

    OrbiZo3FWUpdater updater;
    updater.setDevicePath(QString::fromStdString(paths.front()));
    updater.setFirmwareData(QByteArray::fromStdString(
        Korvane::DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator::fileText()));

    const Clock::time_point start = Clock::now();
    Clock::time_point lastReport = start;
    int lastValue = -1;
    QObject::connect(&updater, &OrbiZo3FWUpdater::ProgressEvent, [&](int current, int total) {
        if (current != lastValue && lastValue >= 0) {
            std::printf("sector done  %8.3f s  (%d of %d work units left)\n",
                        secondsSince(lastReport), current, total);
        }
        if (current != lastValue) lastReport = Clock::now();
        lastValue = current;
    });
    try {
        updater.downloadFirmware();
    } catch (const MessageException& e) {
        std::fprintf(stderr, "%s %s\n", qPrintable(e.title), qPrintable(e.text));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("full update of the embedded firmware (10 sectors): %.3f s\n", secondsSince(start));
    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    return 0;
}

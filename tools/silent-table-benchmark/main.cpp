// The time to report a silent table, for each thing a converter may make of the latency timer:
// it takes the 2 ms asked for, refuses the request, takes it and keeps its own 16 ms, or is
// never asked (the five start-up requests only). A simulated table with its timing model on
// answers the connection's own version query and then falls silent; the identification's
// version query is timed from its start to the report, in real time, and set against the bound
// for the latency L the connection reports: each answer time-out of t ms ends within
// max(t, 5 L) + L, so the five attempts (2000 ms, then four cut to 10 ms) end within
// max(2000, 5 L) + 4 max(10, 5 L) + 5 L. The worst of three runs:
//   accepts (2 ms asked)        latency 2 ms: report 2.042 s, bound 2.050 s
//   orbizo3-silent-table-benchmark [RUNS]
// Exit 1 when a report came later than its bound or a connection failed.
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/Fault.h"
#include "simulator/SimulatedTable.h"
#include "simulator/SimulatorEnvironment.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZo3UsbIds.h"
#include "utilities/RunSettings.h"

using Clock = std::chrono::steady_clock;
using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceConnection;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;
using Korvane::Simulator::SimulatedTable;
using Korvane::Utilities::RunSettings;

namespace {

struct Converter {
    const char* name;
    void (SimulatedTable::*behaviour)(bool);
    std::uint8_t asked;
};

// Seconds from the identification's version query to its failure; the latency in effect the
// connection reported goes to `latencyMs`. Negative when the connection itself failed.
double timeToReport(SimulatedTable& table, const QString& path, const Converter& converter,
                    int& latencyMs) {
    table.clearFaults();
    if (converter.behaviour) (table.*converter.behaviour)(true);
    RunSettings settings;
    settings.useSimulatedTables(0);
    settings.setSimulatorTiming(true);  // the steady clock
    settings.setLatencyTimerMs(converter.asked);
    try {
        DeviceConnection connection(path, settings);
        latencyMs = OrbiZo3FWUpdater::readDeviceInfo(connection).latencyTimerMs;
        table.inject(Korvane::Simulator::Fault::drop("", 0));
        const Clock::time_point start = Clock::now();
        try {
            OrbiZo3FWUpdater::readDeviceInfo(connection);
        } catch (const MessageException&) {
            return std::chrono::duration<double>(Clock::now() - start).count();
        }
    } catch (const MessageException& e) {
        std::fprintf(stderr, "%s: %s %s\n", converter.name, qPrintable(e.title),
                     qPrintable(e.detail));
    }
    return -1;
}

double boundSeconds(int latencyMs) {
    const int l = latencyMs;
    return (std::max(2000, 5 * l) + 4 * std::max(10, 5 * l) + 5 * l) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    RunSettings host;
    host.useSimulatedTables(0);
    Korvane::Simulator::SimulatorEnvironment::start(host);
    auto table = SimulatedTable::create("SILENT0001");
    table->enableTiming(true);
    table->plug();
    const auto paths = Korvane::DeviceDriver::OrbiZo::USB::findDevicePaths(
        Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId,
        Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId);
    if (paths.empty()) {
        std::fprintf(stderr, "the simulated table is not present\n");
        return 1;
    }
    const QString path = QString::fromStdString(paths.front());

    const Converter converters[] = {
        {"accepts (2 ms asked)", nullptr, 2},
        {"refuses (2 ms asked)", &SimulatedTable::refuseLatencyTimer, 2},
        {"ignores (2 ms asked)", &SimulatedTable::ignoreLatencyTimer, 2},
        {"never asked", nullptr, RunSettings::kKeepConverterLatencyTimer},
    };
    bool within = true;
    for (const Converter& converter : converters) {
        double worst = 0;
        int latencyMs = 0;
        for (int run = 0; run < runs && worst >= 0; ++run) {
            const double seconds = timeToReport(*table, path, converter, latencyMs);
            worst = seconds < 0 ? seconds : std::max(worst, seconds);
        }
        const double bound = boundSeconds(latencyMs);
        within = within && worst >= 0 && worst <= bound;
        std::printf("%-24s latency %3d ms: report %.3f s, bound %.3f s%s\n", converter.name,
                    latencyMs, worst, bound, worst >= 0 && worst <= bound ? "" : " (OVER)");
        std::fflush(stdout);
    }
    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    return within ? 0 : 1;
}

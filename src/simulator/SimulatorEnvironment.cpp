#include "simulator/SimulatorEnvironment.h"

#include <cstdio>
#include <mutex>

#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatedFaultSetting.h"

namespace Korvane {
namespace Simulator {

using Korvane::Platform::UsbPortRegistration;
using Korvane::Utilities::RunSettings;

std::string SimulatorEnvironment::serialNumber(unsigned index) {
    char text[16];
    std::snprintf(text, sizeof text, "OZ3S%06u", index % 1000000u);
    return text;
}

std::vector<std::shared_ptr<SimulatedTable>> SimulatorEnvironment::start(
    const RunSettings& settings) {
    UsbPortRegistration::install(settings.simulated() ? static_cast<Platform::UsbHost&>(
                                                            Platform::SimulatedUsbBus::instance())
                                                      : UsbPortRegistration::libusbHost(),
                                 settings.traceFile().toLocal8Bit().toStdString());
    return plugTables(settings);
}

std::vector<std::shared_ptr<SimulatedTable>> SimulatorEnvironment::plugTables(
    const RunSettings& settings) {
    static std::mutex mutex;
    static bool done = false;
    static std::vector<std::shared_ptr<SimulatedTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    if (!done) {
        done = true;
        for (unsigned i = 1; i <= settings.simulatedTables(); ++i) {
            tables.push_back(SimulatedTable::create(serialNumber(i)));
            if (settings.simulatorTiming()) tables.back()->enableTiming(true);
            tables.back()->driveClock(settings.virtualClock());
            tables.back()->plug();
        }
        SimulatedFaultSetting::arm(settings.simulatedFault(), tables);
    }
    return tables;
}

}  // namespace Simulator
}  // namespace Korvane

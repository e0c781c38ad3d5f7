#include "platform/usbhost/simulated/SimulatedUsbBus.h"

#include <algorithm>
#include <mutex>

#include "platform/usbhost/HotplugSubscribers.h"
#include "platform/usbhost/simulated/SimulatedUsbConnection.h"
#include "platform/usbhost/simulated/SimulatedUsbSession.h"
#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {

struct SimulatedUsbBus::State {
    struct Plugged {
        std::shared_ptr<SimulatedUsbDevice> device;
        UsbDeviceInfo info;
        std::weak_ptr<SimulatedUsbConnection> holder;  // the open session's connection
    };

    std::vector<Plugged>::iterator find(const std::string& instanceId) {
        return std::find_if(devices.begin(), devices.end(),
                            [&](const Plugged& p) { return p.info.instanceId == instanceId; });
    }

    std::mutex mutex;
    std::vector<Plugged> devices;  // arrival order
    HotplugSubscribers subscribers;
};

SimulatedUsbBus& SimulatedUsbBus::instance() {
    // Never destroyed: sessions and device threads may outlive static destruction.
    static SimulatedUsbBus* bus = new SimulatedUsbBus;
    return *bus;
}

SimulatedUsbBus::SimulatedUsbBus() : state(std::make_shared<State>()) {}

SimulatedUsbBus::~SimulatedUsbBus() = default;

void SimulatedUsbBus::plug(std::shared_ptr<SimulatedUsbDevice> device) {
    UsbDeviceInfo info;
    info.vendorId = device->vendorId();
    info.productId = device->productId();
    info.instanceId = device->instanceId();
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->find(info.instanceId) != state->devices.end()) return;
        state->devices.push_back({std::move(device), info, {}});
    }
    state->subscribers.notify(info, true);
}

void SimulatedUsbBus::unplug(const std::string& instanceId) {
    UsbDeviceInfo info;
    std::shared_ptr<SimulatedUsbConnection> connection;
    std::shared_ptr<SimulatedUsbDevice> device;  // released after the lock
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        auto it = state->find(instanceId);
        if (it == state->devices.end()) return;
        info = it->info;
        connection = it->holder.lock();
        device = std::move(it->device);
        state->devices.erase(it);
    }
    if (connection) connection->unplug();
    state->subscribers.notify(info, false);
}

void SimulatedUsbBus::unplugAll() {
    for (const UsbDeviceInfo& info : presentDevices()) unplug(info.instanceId);
}

std::vector<UsbDeviceInfo> SimulatedUsbBus::presentDevices() {
    std::lock_guard<std::mutex> lock(state->mutex);
    std::vector<UsbDeviceInfo> infos;
    for (const auto& plugged : state->devices) infos.push_back(plugged.info);
    return infos;
}

UsbError SimulatedUsbBus::open(const std::string& instanceId,
                               std::unique_ptr<UsbDeviceSession>& session) {
    std::shared_ptr<SimulatedUsbConnection> connection;
    std::shared_ptr<SimulatedUsbDevice> device;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        auto it = state->find(instanceId);
        if (it == state->devices.end()) return ERROR_FILE_NOT_FOUND;
        if (!it->holder.expired()) return ERROR_ACCESS_DENIED;
        if (const UsbError refused = it->device->openFault()) return refused;
        device = it->device;
        connection = std::make_shared<SimulatedUsbConnection>(device);
        it->holder = connection;
    }
    device->sessionOpened();
    std::weak_ptr<State> weakState = state;
    std::weak_ptr<SimulatedUsbConnection> weakConnection = connection;
    auto release = [weakState, weakConnection, instanceId] {
        auto state = weakState.lock();
        if (!state) return;
        std::lock_guard<std::mutex> lock(state->mutex);
        auto it = state->find(instanceId);
        if (it != state->devices.end() && it->holder.lock() == weakConnection.lock()) {
            it->holder.reset();
        }
    };
    session = std::make_unique<SimulatedUsbSession>(std::move(connection), release);
    return ERROR_SUCCESS;
}

std::uint64_t SimulatedUsbBus::subscribe(HotplugCallback callback) {
    return state->subscribers.add(std::move(callback));
}

void SimulatedUsbBus::unsubscribe(std::uint64_t id) {
    state->subscribers.remove(id);
}

}  // namespace Platform
}  // namespace Korvane

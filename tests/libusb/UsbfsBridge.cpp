#include "libusb/UsbfsBridge.h"

// <sys/ioctl.h> first: the usbdevfs header uses its _IO* macros.
#include <sys/ioctl.h>

#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace Korvane {
namespace Platform {
namespace Testing {

namespace {

constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

// libusb polls the usbfs node, which under umockdev is always ready, and reaps until told
// EAGAIN. Holding an empty reap this long keeps that loop from eating a CPU.
constexpr std::chrono::milliseconds kIdleReap{2};

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (std::uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

int busOf(const std::string& sysName) {
    return std::stoi(sysName.substr(0, sysName.find('-')));
}

// /devices/.../usb1/1-3/1-3.2 for "1-3.2": every hub on the way is a directory level.
std::string sysfsPathOf(const std::string& sysName) {
    std::string path = "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(busOf(sysName));
    for (std::size_t dot = sysName.find('.'); dot != std::string::npos;
         dot = sysName.find('.', dot + 1))
        path += "/" + sysName.substr(0, dot);
    return path + "/" + sysName;
}

std::string nodeOf(int bus, int deviceNumber) {
    char node[32];
    std::snprintf(node, sizeof node, "bus/usb/%03d/%03d", bus, deviceNumber);
    return node;
}

void addDevice(UMockdevTestbed* testbed, const std::string& sysName, int deviceNumber,
               const std::vector<std::uint8_t>& descriptors) {
    const int bus = busOf(sysName);
    const std::string node = nodeOf(bus, deviceNumber);
    const std::string description =
        "P: " + sysfsPathOf(sysName) + "\nN: " + node +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: DEVNAME=/dev/" + node +
        "\nE: BUSNUM=" + node.substr(8, 3) + "\nE: DEVNUM=" + node.substr(12, 3) +
        "\nA: busnum=" + std::to_string(bus) + "\\n\nA: devnum=" + std::to_string(deviceNumber) +
        "\\n\nA: bConfigurationValue=1\\n\nA: speed=12\\n\nH: descriptors=" + hex(descriptors) +
        "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, description.c_str(), &error)) {
        std::string message = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw std::runtime_error("umockdev rejected " + sysName + ": " + message);
    }
}

}  // namespace

struct UsbfsBridge::State {
    struct Urb {
        std::uint64_t id;
        UMockdevIoctlData* urb;     // our copy of struct usbdevfs_urb
        UMockdevIoctlData* buffer;  // our copy of its buffer
    };

    std::shared_ptr<SimulatedUsbDevice> device;
    std::mutex mutex;
    std::condition_variable reapable;
    std::list<Urb> parked;
    std::deque<Urb> done;
    std::uint64_t nextId = 1;
    bool unplugged = false;
    int claimErrno = 0;
    int claims = 0;
    int releases = 0;
    int ioctls = 0;

    ~State() {
        for (Urb& urb : parked) release(urb);
        for (Urb& urb : done) release(urb);
    }

    static void release(Urb& urb) {
        g_object_unref(urb.buffer);
        g_object_unref(urb.urb);
    }

    static usbdevfs_urb& fields(const Urb& urb) {
        return *reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
    }

    // Under the lock.
    void finish(Urb urb, int status, int length) {
        fields(urb).status = status;
        fields(urb).actual_length = length;
        done.push_back(urb);
        reapable.notify_all();
    }
};

namespace {

using State = UsbfsBridge::State;

void complete(UMockdevIoctlClient* client, int error) {
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
}

// The data stage of a control URB; its first 8 bytes are the setup packet.
void controlUrb(State& state, State::Urb urb, std::unique_lock<std::mutex>& lock) {
    std::uint8_t* bytes = urb.buffer->data;
    UsbSetupPacket setup;
    setup.requestType = bytes[0];
    setup.request = bytes[1];
    setup.value = static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8);
    setup.index = static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8);
    setup.length = static_cast<std::uint16_t>(bytes[6] | bytes[7] << 8);
    const bool in = (setup.requestType & 0x80) != 0;
    std::vector<std::uint8_t> data;
    if (!in) data.assign(bytes + 8, bytes + 8 + setup.length);

    lock.unlock();
    bool accepted;
    if (setup.requestType == 0x80 && setup.request == 0x06) {
        data = state.device->descriptor(static_cast<std::uint8_t>(setup.value >> 8),
                                        static_cast<std::uint8_t>(setup.value), setup.index);
        accepted = !data.empty();
    } else {
        accepted = state.device->controlRequest(setup, data);
    }
    lock.lock();

    if (!accepted) return state.finish(urb, -EPIPE, 0);
    if (!in) return state.finish(urb, 0, setup.length);
    const std::size_t length = std::min<std::size_t>(data.size(), setup.length);
    std::memcpy(bytes + 8, data.data(), length);
    state.finish(urb, 0, static_cast<int>(length));
}

void bulkInUrb(const std::shared_ptr<State>& shared, State::Urb urb, std::uint8_t endpoint,
               std::unique_lock<std::mutex>& lock) {
    shared->parked.push_back(urb);
    const std::uint32_t capacity = static_cast<std::uint32_t>(State::fields(urb).buffer_length);
    const std::weak_ptr<State> weak = shared;
    const std::uint64_t id = urb.id;
    lock.unlock();
    shared->device->bulkIn(endpoint, capacity, [weak, id](std::vector<std::uint8_t> data) {
        const std::shared_ptr<State> state = weak.lock();
        if (!state) return;
        std::lock_guard<std::mutex> guard(state->mutex);
        for (auto it = state->parked.begin(); it != state->parked.end(); ++it) {
            if (it->id != id) continue;
            const int room = State::fields(*it).buffer_length;
            const int length = std::min<int>(room, static_cast<int>(data.size()));
            std::memcpy(it->buffer->data, data.data(), static_cast<std::size_t>(length));
            State::Urb finished = *it;
            state->parked.erase(it);
            state->finish(finished, static_cast<int>(data.size()) > room ? -EOVERFLOW : 0, length);
            return;
        }
    });
    lock.lock();
}

void submitUrb(const std::shared_ptr<State>& shared, UMockdevIoctlClient* client,
               UMockdevIoctlData* argument, std::unique_lock<std::mutex>& lock) {
    State& state = *shared;
    if (state.unplugged) return complete(client, ENODEV);
    UMockdevIoctlData* urbData =
        umockdev_ioctl_data_resolve(argument, 0, sizeof(usbdevfs_urb), nullptr);
    const usbdevfs_urb& fields = *reinterpret_cast<usbdevfs_urb*>(urbData->data);
    const std::uint8_t endpoint = fields.endpoint;
    const bool control = fields.type == USBDEVFS_URB_TYPE_CONTROL;
    if (!control &&
        (fields.type != USBDEVFS_URB_TYPE_BULK || !state.device->hasEndpoint(endpoint))) {
        g_object_unref(urbData);
        return complete(client, ENOENT);
    }
    UMockdevIoctlData* bufferData =
        umockdev_ioctl_data_resolve(urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                    static_cast<gsize>(fields.buffer_length), nullptr);
    State::Urb urb{state.nextId++, urbData, bufferData};

    if (control) {
        controlUrb(state, urb, lock);
    } else if (endpoint & 0x80) {
        bulkInUrb(shared, urb, endpoint, lock);
    } else {
        std::vector<std::uint8_t> bytes(bufferData->data, bufferData->data + fields.buffer_length);
        lock.unlock();
        const UsbError error = state.device->bulkOut(endpoint, bytes);
        lock.lock();
        state.finish(urb, error == 0 ? 0 : -EPIPE, error == 0 ? fields.buffer_length : 0);
    }
    complete(client, 0);
}

void reapUrb(State& state, UMockdevIoctlClient* client, UMockdevIoctlData* argument,
             std::unique_lock<std::mutex>& lock) {
    if (state.done.empty() && !state.unplugged)
        state.reapable.wait_for(lock, kIdleReap, [&] { return !state.done.empty(); });
    if (state.done.empty()) return complete(client, state.unplugged ? ENODEV : EAGAIN);
    State::Urb urb = state.done.front();
    state.done.pop_front();
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(argument, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, urb.urb);
    complete(client, 0);
    g_object_unref(pointer);
    State::release(urb);
}

void discardUrb(State& state, UMockdevIoctlClient* client, UMockdevIoctlData* argument,
                std::unique_lock<std::mutex>& lock) {
    const gulong address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(argument->data));
    for (auto it = state.parked.begin(); it != state.parked.end(); ++it) {
        if (it->urb->client_addr != address) continue;
        const std::uint8_t endpoint = State::fields(*it).endpoint;
        State::Urb urb = *it;
        state.parked.erase(it);
        state.finish(urb, -ENOENT, 0);
        complete(client, 0);
        lock.unlock();
        state.device->cancelIn(endpoint);
        return;
    }
    complete(client, EINVAL);  // already completed: libusb reaps it as it was
}

struct HandlerContext {
    std::weak_ptr<State> state;
};

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    const std::shared_ptr<State> shared = static_cast<HandlerContext*>(user)->state.lock();
    if (!shared) return FALSE;
    State& state = *shared;
    UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
    std::unique_lock<std::mutex> lock(state.mutex);
    ++state.ioctls;
    switch (umockdev_ioctl_client_get_request(client)) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(argument, 0, 4, nullptr);
            std::memcpy(caps->data, &kCapabilities, sizeof kCapabilities);
            complete(client, 0);
            g_object_unref(caps);
            return TRUE;
        }
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_CLAIMINTERFACE: {
            ++state.claims;
            const int error = state.unplugged ? ENODEV : state.claimErrno;
            complete(client, error);
            lock.unlock();
            if (!error) state.device->sessionOpened();
            return TRUE;
        }
        case USBDEVFS_RELEASEINTERFACE: {
            ++state.releases;
            const int error = state.unplugged ? ENODEV : 0;
            complete(client, error);
            lock.unlock();
            if (!error) state.device->sessionClosed();
            return TRUE;
        }
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
            complete(client, state.unplugged ? ENODEV : 0);
            return TRUE;
        case USBDEVFS_GETDRIVER:
            complete(client, ENODATA);  // no kernel driver bound
            return TRUE;
        case USBDEVFS_SUBMITURB:
            submitUrb(shared, client, argument, lock);
            return TRUE;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            reapUrb(state, client, argument, lock);
            return TRUE;
        case USBDEVFS_DISCARDURB:
            discardUrb(state, client, argument, lock);
            return TRUE;
        default:
            return FALSE;  // ENOTTY
    }
}

void freeHandlerContext(gpointer data, GClosure*) {
    delete static_cast<HandlerContext*>(data);
}

}  // namespace

UsbfsBridge::UsbfsBridge(UMockdevTestbed* testbed, std::shared_ptr<SimulatedUsbDevice> device,
                         const std::string& sysName, int deviceNumber)
    : testbed(testbed),
      devicePath("/dev/" + nodeOf(busOf(sysName), deviceNumber)),
      sysfsPath("/sys" + sysfsPathOf(sysName)),
      state(std::make_shared<State>()) {
    state->device = device;
    handler = umockdev_ioctl_base_new();
    g_signal_connect_data(handler, "handle-ioctl", G_CALLBACK(onIoctl), new HandlerContext{state},
                          freeHandlerContext, GConnectFlags(0));
    // The handler goes in first: libusb may open the device as soon as the "add" event is out.
    if (!umockdev_testbed_attach_ioctl(testbed, devicePath.c_str(), handler, nullptr))
        throw std::runtime_error("umockdev cannot serve " + devicePath);
    std::vector<std::uint8_t> descriptors = device->descriptor(1, 0, 0);
    const std::vector<std::uint8_t> configuration = device->descriptor(2, 0, 0);
    descriptors.insert(descriptors.end(), configuration.begin(), configuration.end());
    addDevice(testbed, sysName, deviceNumber, descriptors);
}

UsbfsBridge::~UsbfsBridge() {
    umockdev_testbed_detach_ioctl(testbed, devicePath.c_str(), nullptr);
    g_object_unref(handler);
}

void UsbfsBridge::addHub(UMockdevTestbed* testbed, const std::string& sysName, int deviceNumber) {
    const std::vector<std::uint8_t> hub{
        18, 1, 0x00, 0x02, 0x09, 0x00, 0x01, 64, 0x09, 0x12, 0x00, 0x00, 0x00, 0x01, 0,
        0,  0, 1,    9,    2,    25,   0,    1,  1,    0,    0xE0, 0,    9,    4,    0,
        0,  1, 0x09, 0,    0,    0,    7,    5,  0x81, 3,    1,    0,    12};
    addDevice(testbed, sysName, deviceNumber, hub);
}

void UsbfsBridge::unplug() {
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->unplugged = true;
        while (!state->parked.empty()) {
            State::Urb urb = state->parked.front();
            state->parked.pop_front();
            state->finish(urb, -ESHUTDOWN, 0);
        }
    }
    umockdev_testbed_uevent(testbed, sysfsPath.c_str(), "remove");
}

void UsbfsBridge::failClaimWith(int errnoValue) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->claimErrno = errnoValue;
}

int UsbfsBridge::claims() const {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->claims;
}

int UsbfsBridge::releases() const {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->releases;
}

int UsbfsBridge::ioctls() const {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->ioctls;
}

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane

#include "usb/USBNotification_WinUSB.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <locale>

#include <boost/make_shared.hpp>

#include "usb/DeviceDiscovery.h"
#include "usb/InterfaceClassTable.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

using Korvane::Utilities::ReadLocker;
using Korvane::Utilities::WriteLocker;

namespace {

bool sameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

bool containsGuid(const std::vector<GUID>& list, const GUID& guid) {
    return std::any_of(list.begin(), list.end(),
                       [&guid](const GUID& entry) { return sameGuid(entry, guid); });
}

// The record's name, narrowed and lower-cased character by character; characters without a
// narrow form become NUL. Reading stops at the terminating NUL or at the end of the record as
// its size declares, whichever comes first.
std::string lowerCasedName(const DEV_BROADCAST_DEVICEINTERFACE_W& record) {
    const std::size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    const std::size_t capacity =
        record.dbcc_size > nameOffset ? (record.dbcc_size - nameOffset) / sizeof(WCHAR) : 0;
    const std::locale locale;
    const auto& wide = std::use_facet<std::ctype<wchar_t>>(locale);
    std::string name;
    for (std::size_t i = 0; i < capacity && record.dbcc_name[i] != 0; ++i) {
        const char narrow = wide.narrow(static_cast<wchar_t>(record.dbcc_name[i]), '\0');
        name.push_back(std::tolower(narrow, locale));
    }
    return name;
}

}  // namespace

USBNotification_WinUSB::USBNotification_WinUSB()
    : USBNotification("Korvane.Utilities.USBNotification") {}

USBNotification_WinUSB::~USBNotification_WinUSB() {
    stop();
}

void USBNotification_WinUSB::start(const FilterList& filterList, const Callback& newCallback) {
    {
        ReadLocker guard(&lock);
        if (notificator || filterList.empty() || newCallback.empty()) return;
    }
    setFilter(filterList);

    WriteLocker guard(&lock);
    callback = newCallback;
    notificator = boost::make_shared<CPnPNotificator>();
    notificator->start(GetModuleHandleW(nullptr), this);
    for (const GUID& interfaceClass : classList) notificator->registerInterface(interfaceClass);
    // Pairs without a known class arrive through the generic USB device class.
    if (!containsGuid(classList, GUID_DEVINTERFACE_USB_DEVICE)) {
        notificator->registerInterface(GUID_DEVINTERFACE_USB_DEVICE);
    }
}

void USBNotification_WinUSB::setFilter(const FilterList& filterList) {
    WriteLocker guard(&lock);
    filterPairs = filterList;
    classList.clear();
    fallbackPairs.clear();
    for (const FilterPair& pair : filterList) {
        if (pair.first == 0 || pair.second == 0) continue;
        const std::vector<GUID> classes =
            InterfaceClassTable::instance().classesFor(pair.first, pair.second);
        if (classes.empty()) fallbackPairs.insert(pair);
        for (const GUID& interfaceClass : classes) {
            if (!containsGuid(classList, interfaceClass)) classList.push_back(interfaceClass);
        }
    }
}

void USBNotification_WinUSB::stop() {
    boost::shared_ptr<CPnPNotificator> running;
    {
        WriteLocker guard(&lock);
        running.swap(notificator);
    }
    // Released outside the lock: the notificator waits for its thread, which may be
    // dispatching under the read lock right now.
    running.reset();
}

USBNotification::FilterList USBNotification_WinUSB::getFilter() {
    ReadLocker guard(&lock);
    return filterPairs;
}

void USBNotification_WinUSB::onDeviceChange(UINT /*message*/, WPARAM event, LPARAM record) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(record);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
    // Nothing past the header is read unless the record says it is there.
    if (header->dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) return;
    const auto* deviceInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);

    const std::string devicePath = lowerCasedName(*deviceInterface);
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
    if (!parseVendorProduct(devicePath, vendorId, productId)) return;
    if (vendorId == 0 || productId == 0) return;
    if (!matches(deviceInterface->dbcc_classguid, vendorId, productId)) return;

    dispatch(vendorId, productId, event == DBT_DEVICEARRIVAL ? kArrival : kDeparture, devicePath);
}

bool USBNotification_WinUSB::matches(const GUID& classGuid, std::uint32_t vendorId,
                                     std::uint32_t productId) {
    ReadLocker guard(&lock);
    if (containsGuid(classList, classGuid)) return true;
    return fallbackPairs.count(FilterPair(vendorId, productId)) != 0;
}

void USBNotification_WinUSB::dispatch(std::uint32_t vendorId, std::uint32_t productId,
                                      std::int32_t event, const std::string& devicePath) {
    ReadLocker guard(&lock);
    if (!callback.empty()) callback(vendorId, productId, event, devicePath);
}

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

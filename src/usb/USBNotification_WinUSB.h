#pragma once

#include <set>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "platform/win32/Win32.h"
#include "usb/CPnPNotificator.h"
#include "usb/CPnPNotifyHandler.h"
#include "usb/USBNotification.h"
#include "utilities/ReadWriteLock.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// The notification service on the operating system's device notifications: a CPnPNotificator
// delivers arrivals and removals, this class filters them by vendor/product pair and calls the
// callback on the notificator's thread.
class USBNotification_WinUSB : public USBNotification, public CPnPNotifyHandler {
public:
    USBNotification_WinUSB();
    ~USBNotification_WinUSB() override;

    void start(const FilterList& filterList, const Callback& callback) override;
    void stop() override;
    FilterList getFilter() override;

    // Runs on the notification thread; handles arrival and remove-complete of device
    // interfaces, ignores everything else.
    void onDeviceChange(UINT message, WPARAM event, LPARAM record) override;

private:
    void setFilter(const FilterList& filterList);
    bool matches(const GUID& classGuid, std::uint32_t vendorId, std::uint32_t productId);
    void dispatch(std::uint32_t vendorId, std::uint32_t productId, std::int32_t event,
                  const std::string& devicePath);

    // Writers: setFilter and the registration step of start. Readers: matches and the
    // callback dispatch (held while the callback runs). QReadWriteLock outside
    // ThreadSanitizer builds.
    Korvane::Utilities::ReadWriteLock lock;
    Callback callback;
    FilterList filterPairs;
    std::vector<GUID> classList;  // no duplicates
    std::set<FilterPair> fallbackPairs;
    boost::shared_ptr<CPnPNotificator> notificator;  // null while stopped
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

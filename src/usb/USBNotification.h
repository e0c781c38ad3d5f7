#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <boost/function.hpp>

#include "utilities/Loggable.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// Tells its owner when a USB device of a watched vendor/product pair arrives or leaves.
class USBNotification : public Korvane::Utilities::Logging::Loggable {
public:
    // Vendor and product identifier, each a 16-bit USB identifier.
    using FilterPair = std::pair<std::uint32_t, std::uint32_t>;
    using FilterList = std::vector<FilterPair>;

    // Event values passed to the callback.
    static constexpr std::int32_t kDeparture = 0;
    static constexpr std::int32_t kArrival = 1;

    // (vendorId, productId, event, devicePath): the path is the device interface path, narrow
    // and lower-cased. Runs on the service's own thread; it must return quickly and must not
    // call start or stop.
    using Callback = boost::function<void(std::uint32_t vendorId, std::uint32_t productId,
                                          std::int32_t event, const std::string& devicePath)>;

    explicit USBNotification(const std::string& channel);
    ~USBNotification() override;

    // Starts watching the pairs of filterList. Does nothing when already started, when the
    // list is empty or when the callback is empty. Failures are not reported: a service that
    // cannot watch simply calls nothing.
    virtual void start(const FilterList& filterList, const Callback& callback) = 0;

    // Stops watching; the stored filter and callback stay. Waits for the service's thread, so
    // it must not be called from inside the callback.
    virtual void stop() = 0;

    // The filter list given to the last effective start.
    virtual FilterList getFilter() = 0;
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {

namespace Communication {
class OrbiTableComManager;
}
namespace Utilities {
namespace Configuration {
class Properties;
}
}  // namespace Utilities
namespace Firmware {

// The per-connection flash data handle: an empty top-level property container named
// "EmptyFlashData" next to a share of the connection's manager. It takes no part in the
// download; holding the manager, it keeps the device open as long as it lives.
class OrbiTableFlashDataHandle : private boost::noncopyable {
public:
    explicit OrbiTableFlashDataHandle(
        boost::shared_ptr<Communication::OrbiTableComManager> manager);
    ~OrbiTableFlashDataHandle();

    boost::shared_ptr<Utilities::Configuration::Properties> properties() const { return flashData; }

private:
    boost::shared_ptr<Utilities::Configuration::Properties> flashData;
    boost::shared_ptr<Communication::OrbiTableComManager> manager;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "firmware/OrbiTableFlashDataHandle.h"

#include <boost/make_shared.hpp>

#include "communication/OrbiTableComManager.h"
#include "utilities/Properties.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

OrbiTableFlashDataHandle::OrbiTableFlashDataHandle(
    boost::shared_ptr<Communication::OrbiTableComManager> manager)
    : flashData(boost::make_shared<Utilities::Configuration::Properties>("EmptyFlashData")),
      manager(std::move(manager)) {}

OrbiTableFlashDataHandle::~OrbiTableFlashDataHandle() = default;

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

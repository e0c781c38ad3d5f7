#include "communication/OrbiTableComMotors.h"

#include <boost/format.hpp>
#include <boost/make_shared.hpp>

#include "utilities/DynamicProperty.h"
#include "utilities/OrbiZoException.h"
#include "utilities/Properties.h"
#include "utilities/Property.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

using Utilities::Configuration::DynamicProperty;
using Utilities::Configuration::Property;

OrbiTableComMotors::OrbiTableComMotors(LinkPtr link, PropertiesPtr properties)
    : OrbiTableCommunication(std::move(link), std::move(properties)) {
    auto& table = *this->properties;
    table.set("44410", boost::make_shared<DynamicProperty<bool>>(
                           [this] { return areMotorsOn(); },
                           [this](const bool& on) { switchMotors(on); }));
    table.set("44431", boost::make_shared<Property<bool>>(true));
    table.set("44432", boost::make_shared<Property<bool>>(false));
    table.set("44433", boost::make_shared<Property<unsigned short>>(200));
    table.set("44434", boost::make_shared<Property<unsigned int>>(15000u));
    table.set("44435", boost::make_shared<Property<unsigned int>>(5000u));
}

OrbiTableComMotors::~OrbiTableComMotors() = default;

void OrbiTableComMotors::switchMotors(bool on) {
    OrbiTableComCommand command('s', on ? '1' : '0', 0);
    execute(command);
    if (command.errorByte != 0) {
        throw OrbiZoException(
            ErrorCode::MiscUnknownError,
            (boost::format("unknown error (%1$02X") % static_cast<unsigned>(command.errorByte))
                .str());
    }
    motorsOn = on;
}

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

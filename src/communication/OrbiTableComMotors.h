#pragma once

#include "communication/OrbiTableCommunication.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

// Switches the table's motors. Registers 44410 (the motor switch, read from motorsOn without
// asking the table) and the settings 44431 to 44435 at construction.
class OrbiTableComMotors : public OrbiTableCommunication {
public:
    OrbiTableComMotors(LinkPtr link, PropertiesPtr properties);
    ~OrbiTableComMotors() override;

    // s1 / s0; motorsOn changes only when the table accepted the command.
    void switchMotors(bool on);
    bool areMotorsOn() const { return motorsOn; }

private:
    bool motorsOn = false;
};

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <cstdint>

#include "communication/OrbiTableCommunication.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

// Restart, boot break and a few switches and values of the table. Registers the properties
// 44411 (switch A) and 44412 (switch B) in the shared container at construction.
class OrbiTableComMisc : public OrbiTableCommunication {
public:
    OrbiTableComMisc(LinkPtr link, PropertiesPtr properties);
    ~OrbiTableComMisc() override;

    // Sends the table into its bootloader (o0 for mode 0) shortly after a restart.
    void bootBreak(std::uint8_t mode);
    // Restarts the table (r); with wait, pauses 1000 ms after a good answer.
    void resetTable(bool wait);

    void setSwitchA(bool on);
    void setSwitchB(bool on);
    bool readSwitchA();
    bool readSwitchB();
    bool readFlagC2();
    void triggerC3();
    std::uint16_t readValueC4();
    // Only the low 8 bits are sent.
    void writeValueC5(std::uint16_t value);
    std::uint16_t readValueC6();

private:
    // execute + checkAnswer; returns the answer value (two hex digits, 0 for no data).
    std::uint16_t query(char code1, char code2, std::int32_t expectedLength,
                        std::uint32_t dataTimeout = 2000);
    // execute, then a non-zero error value throws prefix + value + ")." (0x0A002006).
    void runJudgedByError(char code1, char code2, const char* prefix);
};

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

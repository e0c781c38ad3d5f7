#pragma once

#include <cstdint>
#include <vector>

#include "communication/OrbiTableCommunication.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

// Questions to the table about itself (codes a* and y*): version, status, metrics and the
// buffer of two series of signed values. Answers are fixed-width hex fields.
class OrbiTableComInfo : public OrbiTableCommunication {
public:
    // Seven values passed on as the table reports them.
    struct TableMetrics {
        std::uint32_t metric1 = 0;
        std::uint32_t metric2 = 0;
        std::uint32_t metric3 = 0;
        std::uint32_t metric4 = 0;
        std::uint32_t metric5 = 0;
        std::uint32_t metric6 = 0;
        std::uint32_t metric7 = 0;
    };

    OrbiTableComInfo(LinkPtr link, PropertiesPtr properties);
    ~OrbiTableComInfo() override;

    std::vector<std::uint8_t> readStatusBytes();
    // The table's status, 0 to 7 (1: standby).
    std::uint8_t readStatus();
    // value2 is the firmware version word (high byte major, low byte minor). The outputs are
    // written only after the answer passed its checks.
    void readVersion(std::uint32_t& value1, std::uint32_t& value2, std::uint32_t& value3);
    TableMetrics readMetrics();
    std::uint16_t readBufferSize();
    void setBufferSize(std::uint16_t size);
    // Reads the buffer for slotCount slots: V valid entries of each list out of T slots.
    // listA and listB are replaced; extra is written as soon as the header is read.
    void readBuffer(std::uint16_t slotCount, std::vector<std::int32_t>& listA,
                    std::vector<std::int32_t>& listB, std::uint16_t& extra);
    std::uint16_t readWordY4();
    std::uint16_t readWordY5();

private:
    // execute + checkAnswer; returns the answer's data text.
    std::string query(char code1, char code2, std::int32_t expectedLength);
};

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

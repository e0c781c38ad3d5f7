#pragma once

// The USB descriptors of a table: device descriptor (18 bytes) with iSerialNumber pointing at
// the serial-number string, one configuration with one vendor-specific interface carrying
// bulk-in 0x81 and bulk-out 0x02 (64-byte packets), and the strings (0: language list,
// 1: maker, 2: product, 3: serial number, UTF-16LE).

#include <cstdint>
#include <string>
#include <vector>

namespace Korvane {
namespace Simulator {

class TableDescriptors {
public:
    static constexpr std::uint8_t kDevice = 1;
    static constexpr std::uint8_t kConfiguration = 2;
    static constexpr std::uint8_t kString = 3;
    static constexpr std::uint8_t kSerialNumberIndex = 3;
    static constexpr std::uint8_t kBulkIn = 0x81;
    static constexpr std::uint8_t kBulkOut = 0x02;

    // The whole descriptor; empty when the table has none of that type and index.
    static std::vector<std::uint8_t> get(std::uint8_t type, std::uint8_t index,
                                         const std::string& serialNumber);

private:
    static std::vector<std::uint8_t> device();
    static std::vector<std::uint8_t> configuration();
    static std::vector<std::uint8_t> string(const std::string& text);
};

}  // namespace Simulator
}  // namespace Korvane

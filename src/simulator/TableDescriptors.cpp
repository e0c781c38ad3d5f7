#include "simulator/TableDescriptors.h"

#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Simulator {

namespace {

constexpr std::uint8_t kMaxPacket = 64;
constexpr std::uint16_t kDeviceRelease = 0x0600;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void endpoint(std::vector<std::uint8_t>& out, std::uint8_t address) {
    out.insert(out.end(), {7, 5, address, 0x02 /* bulk */});
    put16(out, kMaxPacket);
    out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> TableDescriptors::get(std::uint8_t type, std::uint8_t index,
                                                const std::string& serialNumber) {
    if (type == kDevice && index == 0) return device();
    if (type == kConfiguration && index == 0) return configuration();
    if (type != kString) return {};
    switch (index) {
        case 0:
            return {4, kString, 0x09, 0x04};  // US English only
        case 1:
            return string("Korvane");
        case 2:
            return string("OrbiZo3");
        case kSerialNumberIndex:
            return string(serialNumber);
        default:
            return {};
    }
}

std::vector<std::uint8_t> TableDescriptors::device() {
    using namespace DeviceDriver::OrbiZo;
    std::vector<std::uint8_t> d = {18, kDevice};
    put16(d, 0x0200);                          // bcdUSB
    d.insert(d.end(), {0, 0, 0, kMaxPacket});  // class, subclass, protocol per interface
    put16(d, kOrbiZo3VendorId);
    put16(d, kOrbiZo3ProductId);
    put16(d, kDeviceRelease);
    d.insert(d.end(), {1, 2, kSerialNumberIndex, 1});  // strings, one configuration
    return d;
}

std::vector<std::uint8_t> TableDescriptors::configuration() {
    std::vector<std::uint8_t> c = {9, kConfiguration};
    put16(c, 9 + 9 + 7 + 7);
    c.insert(c.end(), {1, 1, 0, 0x80, 45});  // one interface, value 1, bus powered, 90 mA
    c.insert(c.end(), {9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2});  // vendor-specific, two endpoints
    endpoint(c, kBulkIn);
    endpoint(c, kBulkOut);
    return c;
}

std::vector<std::uint8_t> TableDescriptors::string(const std::string& text) {
    std::vector<std::uint8_t> s = {static_cast<std::uint8_t>(2 + 2 * text.size()), kString};
    for (unsigned char c : text) put16(s, c);
    return s;
}

}  // namespace Simulator
}  // namespace Korvane

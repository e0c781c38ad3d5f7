#include "communication/DeviceErrorText.h"

#include <boost/format.hpp>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

std::string deviceErrorText(unsigned value) {
    static const char* const texts[] = {
        "no error (0)",
        "unknown command (1)",
        "command length (2)",
        "interval (3)",
        "address aligment (4)",
        "invalid destination or block size (5)",
        "FLASH busy (6)",
        "sector locked (7)",
        "sector not prepared for write operation (8)",
        "FLASH address boundary (9)",
        "Wrong unlock ID (10)",
        "Unlockable block (11)",
        "Config data only in 'S' mode writeable (12)",
    };
    const unsigned byte = value & 0xFF;
    if (byte < sizeof(texts) / sizeof(texts[0])) return texts[byte];
    return (boost::format("unknown firmware error (%1%)") % byte).str();
}

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

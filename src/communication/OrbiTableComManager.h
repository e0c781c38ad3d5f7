#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include "usb/ConverterLatency.h"
#include "utilities/MonotonicClock.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {

namespace USB {
class SerialUSB;
}
namespace Utilities {
namespace Configuration {
class Properties;
}
}  // namespace Utilities

namespace Communication {

class OrbiTableComFlash;
class OrbiTableComInfo;
class OrbiTableComMisc;
class OrbiTableComMotors;

// One open connection to one table: the packet link, the four command groups over it, and the
// table's values and actions published under decimal keys in the container
// "OrbiTableComManager". Open from the end of the constructor until the destructor; the device
// closes when the last holder of the link (the manager or a group handed out) lets go.
//
// Property getters and setters reach their group through the manager: the container's
// function-backed properties may be used only while the manager lives. One thread at a time.
class OrbiTableComManager : private boost::noncopyable {
public:
    // Opens the link (open, purge input, configure with the converter's latency timer in ms,
    // or USB::kKeepConverterLatencyTimer), creates the groups and reads the version. Answer
    // time-outs are measured on `clock`. Every failure leaves by its exception; nothing
    // created so far survives.
    explicit OrbiTableComManager(const std::string& devicePath,
                                 std::uint8_t latencyTimerMs = USB::kDefaultLatencyTimerMs,
                                 std::shared_ptr<Korvane::Utilities::MonotonicClock> clock =
                                     Korvane::Utilities::MonotonicClock::steady());
    ~OrbiTableComManager();

    boost::shared_ptr<OrbiTableComInfo> infoGroup() const { return info; }
    boost::shared_ptr<OrbiTableComMisc> miscGroup() const { return misc; }
    boost::shared_ptr<OrbiTableComFlash> flashGroup() const { return flash; }
    boost::shared_ptr<Utilities::Configuration::Properties> propertiesContainer() const {
        return properties;
    }
    // The USB serial number, asked from the device on every call.
    std::string serialNumber();
    // The converter's latency timer in effect, in ms, as the link read it back at connecting.
    std::uint8_t latencyTimerMs() const;

    // Keys whose meaning the system uses itself.
    static constexpr const char* kDevicePathKey = "44401";
    static constexpr const char* kSerialNumberKey = "44402";
    static constexpr const char* kFirmwareVersionKey = "44420";
    static constexpr const char* kRawLineKey = "44441";
    static constexpr const char* kRawReadCountKey = "44442";
    static constexpr const char* kRawReadTimeoutKey = "44443";
    static constexpr const char* kBufferReadKey = "44463";
    // Further keys the manager registers.
    static constexpr const char* kVersionValue1Key = "44421";
    static constexpr const char* kVersionValue3Key = "44422";
    static constexpr unsigned kFirstMetricKey = 44423;  // metric1 .. metric7 at 44423 .. 44429
    static constexpr const char* kTriggerC3Key = "44450";
    static constexpr const char* kFlagC2Key = "44451";
    static constexpr const char* kValueC4Key = "44452";
    static constexpr const char* kValueC6Key = "44453";
    static constexpr const char* kWordY4Key = "44460";
    static constexpr const char* kWordY5Key = "44461";
    static constexpr const char* kBufferSizeKey = "44462";
    static constexpr const char* kBufferExtraKey = "44464";
    static constexpr const char* kBufferListAKey = "44465";
    static constexpr const char* kBufferListBKey = "44466";

private:
    void registerVersionProperties(std::uint32_t value1, std::uint32_t value2,
                                   std::uint32_t value3);
    void registerMetricProperties();
    void registerRawProperties();
    void registerExtendedProperties();  // firmware version word 0x107 and later
    void registerIdentityProperties();

    // 44441: up to 44442 characters within 44443 ms, as the link delivers them. A count above
    // the link's receive buffer (131072) is refused.
    std::string rawRead();
    // 44441: text + its checksum + CR, as one write; text is a command line from ";" on.
    void rawWrite(const std::string& text);
    // 44463: reads the table's buffer into 44464 (extra value), 44465 and 44466 (lists A, B).
    void bufferRead();

    boost::shared_ptr<USB::SerialUSB> link;
    std::string devicePath;
    boost::shared_ptr<Utilities::Configuration::Properties> properties;
    boost::shared_ptr<OrbiTableComInfo> info;
    boost::shared_ptr<OrbiTableComMotors> motors;
    boost::shared_ptr<OrbiTableComMisc> misc;
    boost::shared_ptr<OrbiTableComFlash> flash;
};

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

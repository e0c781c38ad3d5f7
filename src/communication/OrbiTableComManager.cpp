#include "communication/OrbiTableComManager.h"

#include <boost/format.hpp>
#include <boost/make_shared.hpp>

#include "communication/OrbiTableComFlash.h"
#include "communication/OrbiTableComInfo.h"
#include "communication/OrbiTableComMisc.h"
#include "communication/OrbiTableComMotors.h"
#include "usb/SerialUSB.h"
#include "utilities/DynamicProperty.h"
#include "utilities/OrbiZoException.h"
#include "utilities/Properties.h"
#include "utilities/Property.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

using Utilities::Configuration::DynamicProperty;
using Utilities::Configuration::Properties;
using Utilities::Configuration::Property;

namespace {

constexpr std::uint32_t kExtendedVersion = 0x107;
constexpr std::uint32_t kRawReadTimeoutMs = 100;

using Word = unsigned short;
using Number = unsigned int;
using Series = std::vector<short>;

Series toSeries(const std::vector<std::int32_t>& values) {
    return Series(values.begin(), values.end());
}

}  // namespace

OrbiTableComManager::OrbiTableComManager(const std::string& devicePath, std::uint8_t latencyTimerMs,
                                         std::shared_ptr<Korvane::Utilities::MonotonicClock> clock)
    : devicePath(devicePath), properties(boost::make_shared<Properties>("OrbiTableComManager")) {
    link = boost::make_shared<USB::SerialUSB>(std::move(clock));
    link->open(devicePath);
    link->purgeInput();
    link->configure(latencyTimerMs);

    info = boost::make_shared<OrbiTableComInfo>(link, properties);
    motors = boost::make_shared<OrbiTableComMotors>(link, properties);
    misc = boost::make_shared<OrbiTableComMisc>(link, properties);
    flash = boost::make_shared<OrbiTableComFlash>(link, properties);

    std::uint32_t value1 = 0, value2 = 0, value3 = 0;
    info->readVersion(value1, value2, value3);

    registerVersionProperties(value1, value2, value3);
    registerMetricProperties();
    registerRawProperties();
    if (value2 >= kExtendedVersion) registerExtendedProperties();
    registerIdentityProperties();
}

OrbiTableComManager::~OrbiTableComManager() {
    // The container's function-backed properties call into the groups and this manager; a
    // container that outlives them answers "not found" instead of reaching freed objects.
    properties->setActive(false);
    info.reset();
    motors.reset();
    misc.reset();
    flash.reset();
    link.reset();
    properties.reset();
}

std::string OrbiTableComManager::serialNumber() {
    return link->getSerialNumber();
}

std::uint8_t OrbiTableComManager::latencyTimerMs() const {
    return link->latencyTimerMs();
}

void OrbiTableComManager::registerVersionProperties(std::uint32_t value1, std::uint32_t value2,
                                                    std::uint32_t value3) {
    properties->set(kVersionValue1Key, boost::make_shared<Property<Number>>(value1, true));
    properties->set(kFirmwareVersionKey, boost::make_shared<Property<Number>>(value2, true));
    properties->set(kVersionValue3Key, boost::make_shared<Property<Number>>(value3, true));
}

void OrbiTableComManager::registerMetricProperties() {
    using Metrics = OrbiTableComInfo::TableMetrics;
    std::uint32_t Metrics::*const fields[] = {
        &Metrics::metric1, &Metrics::metric2, &Metrics::metric3, &Metrics::metric4,
        &Metrics::metric5, &Metrics::metric6, &Metrics::metric7};
    // Every read asks the table again.
    for (unsigned i = 0; i < 7; ++i) {
        std::uint32_t Metrics::*const field = fields[i];
        properties->set(std::to_string(kFirstMetricKey + i),
                        boost::make_shared<DynamicProperty<Number>>(
                            [this, field]() -> Number { return info->readMetrics().*field; }));
    }
}

void OrbiTableComManager::registerRawProperties() {
    properties->set(kRawLineKey, boost::make_shared<DynamicProperty<std::string>>(
                                     [this] { return rawRead(); },
                                     [this](const std::string& text) { rawWrite(text); }));
    properties->set(kRawReadCountKey, boost::make_shared<Property<Number>>(0u));
    properties->set(kRawReadTimeoutKey, boost::make_shared<Property<Number>>(kRawReadTimeoutMs));
}

void OrbiTableComManager::registerExtendedProperties() {
    using WordProperty = DynamicProperty<Word>;
    using FlagProperty = DynamicProperty<bool>;
    const bool caching = true;
    properties->set(kWordY4Key,
                    boost::make_shared<WordProperty>([this] { return info->readWordY4(); },
                                                     WordProperty::Setter(), caching));
    properties->set(kWordY5Key,
                    boost::make_shared<WordProperty>([this] { return info->readWordY5(); },
                                                     WordProperty::Setter(), caching));
    properties->set(kTriggerC3Key,
                    boost::make_shared<FlagProperty>(FlagProperty::Getter(),
                                                     [this](const bool&) { misc->triggerC3(); }));
    properties->set(kFlagC2Key,
                    boost::make_shared<FlagProperty>([this] { return misc->readFlagC2(); }));
    properties->set(kValueC4Key,
                    boost::make_shared<WordProperty>([this] { return misc->readValueC4(); }));
    properties->set(kValueC6Key, boost::make_shared<WordProperty>(
                                     [this] { return misc->readValueC6(); },
                                     [this](const Word& value) { misc->writeValueC5(value); }));
    properties->set(kBufferSizeKey, boost::make_shared<WordProperty>(
                                        [this] { return info->readBufferSize(); },
                                        [this](const Word& size) { info->setBufferSize(size); }));
    properties->set(kBufferExtraKey, boost::make_shared<Property<Word>>(Word{0}));
    properties->set(kBufferListAKey, boost::make_shared<Property<Series>>(Series()));
    properties->set(kBufferListBKey, boost::make_shared<Property<Series>>(Series()));
    properties->set(kBufferReadKey,
                    boost::make_shared<WordProperty>(WordProperty::Getter(),
                                                     [this](const Word&) { bufferRead(); }));
}

void OrbiTableComManager::registerIdentityProperties() {
    using Text = DynamicProperty<std::string>;
    properties->set(kDevicePathKey, boost::make_shared<Property<std::string>>(devicePath, true));
    properties->set(
        kSerialNumberKey,
        boost::make_shared<Text>([this] { return link->getSerialNumber(); }, Text::Setter(), true));
}

std::string OrbiTableComManager::rawRead() {
    const Number count = properties->getValue<Number>(kRawReadCountKey);
    // The link never holds more than its receive buffer; a larger count would only allocate.
    if (count > USB::SerialUSB::kReceiveBufferSize) {
        throw OrbiZoException(ErrorCode::RawReadTooLong,
                              (boost::format("Raw read of %1% bytes exceeds %2% bytes") % count %
                               USB::SerialUSB::kReceiveBufferSize)
                                  .str());
    }
    return link->read(count, properties->getValue<Number>(kRawReadTimeoutKey));
}

void OrbiTableComManager::rawWrite(const std::string& text) {
    link->write(text + OrbiTableCommunication::lineChecksum(text) + '\r');
}

void OrbiTableComManager::bufferRead() {
    const std::uint16_t slots = info->readBufferSize();
    properties->setValue<Word>(kBufferExtraKey, 0);
    properties->setValue<Series>(kBufferListAKey, Series());
    properties->setValue<Series>(kBufferListBKey, Series());

    std::vector<std::int32_t> listA, listB;
    std::uint16_t extra = 0;
    info->readBuffer(slots, listA, listB, extra);
    properties->setValue<Word>(kBufferExtraKey, extra);
    properties->setValue<Series>(kBufferListAKey, toSeries(listA));
    properties->setValue<Series>(kBufferListBKey, toSeries(listB));
}

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

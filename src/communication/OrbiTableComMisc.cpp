#include "communication/OrbiTableComMisc.h"

#include <chrono>
#include <thread>

#include <boost/make_shared.hpp>

#include "utilities/DynamicProperty.h"
#include "utilities/HexText.h"
#include "utilities/OrbiZoException.h"
#include "utilities/Properties.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

using ::Korvane::Utilities::hexToUInt16;
using ::Korvane::Utilities::toHexString;
using Utilities::Configuration::DynamicProperty;

namespace {

constexpr std::uint32_t kResetPauseMs = 1000;
constexpr std::uint32_t kValueC4TimeoutMs = 5000;

}  // namespace

OrbiTableComMisc::OrbiTableComMisc(LinkPtr link, PropertiesPtr properties)
    : OrbiTableCommunication(std::move(link), std::move(properties)) {
    using Switch = DynamicProperty<bool>;
    this->properties->set("44411", boost::make_shared<Switch>(
                                       [this] { return readSwitchA(); },
                                       [this](const bool& on) { setSwitchA(on); }));
    this->properties->set("44412", boost::make_shared<Switch>(
                                       [this] { return readSwitchB(); },
                                       [this](const bool& on) { setSwitchB(on); }));
}

OrbiTableComMisc::~OrbiTableComMisc() = default;

void OrbiTableComMisc::runJudgedByError(char code1, char code2, const char* prefix) {
    OrbiTableComCommand command(code1, code2, 0);
    execute(command);
    if (command.errorByte != 0) {
        OrbiZoException failure(ErrorCode::CommunicationError,
                                prefix + std::to_string(command.errorByte) + ").");
        failure.where = commandCode(command);
        throw failure;
    }
}

void OrbiTableComMisc::bootBreak(std::uint8_t mode) {
    runJudgedByError('o', static_cast<char>('0' + mode), "Boot break not ok (");
}

void OrbiTableComMisc::resetTable(bool wait) {
    runJudgedByError('r', ' ', "Can't reset table (");
    if (wait) std::this_thread::sleep_for(std::chrono::milliseconds(kResetPauseMs));
}

std::uint16_t OrbiTableComMisc::query(char code1, char code2, std::int32_t expectedLength,
                                      std::uint32_t dataTimeout) {
    OrbiTableComCommand command(code1, code2, expectedLength);
    command.dataTimeout = dataTimeout;
    execute(command);
    command.checkAnswer();
    return hexToUInt16(command.responseText());
}

void OrbiTableComMisc::setSwitchA(bool on) {
    query('f', on ? '1' : '0', 2);
}

void OrbiTableComMisc::setSwitchB(bool on) {
    query('f', on ? '3' : '2', 2);
}

bool OrbiTableComMisc::readSwitchA() {
    return (query('f', '4', 2) & 0x01) != 0;
}

bool OrbiTableComMisc::readSwitchB() {
    return (query('f', '4', 2) & 0x02) == 0;
}

bool OrbiTableComMisc::readFlagC2() {
    return query('c', '2', 2) != 0;
}

void OrbiTableComMisc::triggerC3() {
    query('c', '3', 0);
}

std::uint16_t OrbiTableComMisc::readValueC4() {
    return query('c', '4', 2, kValueC4TimeoutMs) & 0xFF;
}

void OrbiTableComMisc::writeValueC5(std::uint16_t value) {
    OrbiTableComCommand command('c', '5', 0);
    command.setArguments(toHexString(value, 2));
    execute(command);
    command.checkAnswer();
}

std::uint16_t OrbiTableComMisc::readValueC6() {
    return query('c', '6', 2) & 0xFF;
}

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "simulator/Fault.h"

namespace Korvane {
namespace Simulator {

namespace {

Fault make(Fault::Kind kind, const std::string& code, unsigned occurrence) {
    Fault fault;
    fault.kind = kind;
    fault.code = code;
    fault.occurrence = occurrence;
    return fault;
}

}  // namespace

Fault Fault::drop(const std::string& code, unsigned occurrence) {
    return make(Kind::Drop, code, occurrence);
}

Fault Fault::delayed(const std::string& code, std::chrono::milliseconds delay,
                     unsigned occurrence) {
    Fault fault = make(Kind::Delay, code, occurrence);
    fault.delay = delay;
    return fault;
}

Fault Fault::split(const std::string& code, std::size_t firstPart, std::chrono::milliseconds pause,
                   unsigned occurrence) {
    Fault fault = make(Kind::Split, code, occurrence);
    fault.position = firstPart;
    fault.delay = pause;
    return fault;
}

Fault Fault::corrupt(const std::string& code, std::size_t position, unsigned occurrence) {
    Fault fault = make(Kind::Corrupt, code, occurrence);
    fault.position = position;
    return fault;
}

Fault Fault::noiseBefore(const std::string& code, const std::string& noise, unsigned occurrence) {
    Fault fault = make(Kind::Noise, code, occurrence);
    fault.noise = noise;
    return fault;
}

Fault Fault::wrongChecksum(const std::string& code, unsigned occurrence) {
    return make(Kind::WrongChecksum, code, occurrence);
}

Fault Fault::nak(const std::string& code, unsigned occurrence) {
    return make(Kind::Nak, code, occurrence);
}

Fault Fault::busy(const std::string& code, unsigned occurrence) {
    return make(Kind::Busy, code, occurrence);
}

Fault Fault::deviceError(const std::string& code, std::uint8_t value, unsigned occurrence) {
    Fault fault = make(Kind::DeviceError, code, occurrence);
    fault.errorValue = value;
    return fault;
}

}  // namespace Simulator
}  // namespace Korvane

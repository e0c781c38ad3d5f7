#include "communication/OrbiTableComCommand.h"

#include <boost/format.hpp>

#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

OrbiTableComCommand::OrbiTableComCommand(char code1, char code2, std::int32_t expectedLength)
    : code1(code1), code2(code2), expectedLength(expectedLength) {}

OrbiTableComCommand::~OrbiTableComCommand() = default;

void OrbiTableComCommand::setArguments(const std::string& text) {
    arguments.assign(text.begin(), text.end());
}

std::string OrbiTableComCommand::responseText() const {
    return std::string(response.begin(), response.end());
}

void OrbiTableComCommand::setResponse(const std::string& text) {
    response.assign(text.begin(), text.end());
}

void OrbiTableComCommand::checkAnswer() const {
    if (errorByte != 0) {
        throw OrbiZoException(ErrorCode::CommunicationError,
                              (boost::format("Zo communication error %1%%2%: %3%") % code1 % code2 %
                               static_cast<unsigned>(errorByte))
                                  .str());
    }
    if (static_cast<std::int64_t>(response.size()) != expectedLength) {
        throw OrbiZoException(ErrorCode::CommunicationError,
                              (boost::format("Zo communication response %1%%2%: %3%/%4%") % code1 %
                               code2 % response.size() % expectedLength)
                                  .str());
    }
}

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "communication/OrbiTableCommunication.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <boost/format.hpp>

#include "usb/SerialUSB.h"
#include "utilities/HexText.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {

namespace {

constexpr char kCommandStart = ';';
constexpr char kAnswerStart = ':';
constexpr char kCarriageReturn = '\r';
constexpr int kReadAttempts = 5;
constexpr std::uint32_t kTimeoutFloorMs = 10;
// No answer line is anywhere near this long; a table that keeps sending without ':' or CR is
// given up on after this many bytes instead of being read for as long as it sends.
constexpr std::size_t kMaxLineBytes = 4096;

std::int32_t acknowledgeValue(char c) {
    switch (c) {
        case '!':
            return OrbiTableComCommand::AckAccepted;
        case '&':
            return OrbiTableComCommand::AckNak;
        case '#':
            return OrbiTableComCommand::AckBusy;
        case '$':
            return OrbiTableComCommand::AckData;
        default:
            return OrbiTableComCommand::AckNone;
    }
}

// '0'-'9' -> 0-9, 'A'-'Z' and 'a'-'z' -> 10-35, anything else -1.
int errorValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

std::uint8_t twosComplementOfSum(const std::string& text, std::size_t length) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += static_cast<unsigned char>(text[i]);
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

OrbiZoException frameError(const std::string& message) {
    return OrbiZoException(ErrorCode::InvalidAnswerFrame, message);
}

// A table that is gone cannot answer a second read or a second try.
bool tableGone(const OrbiZoException& e) {
    return e.code == ErrorCode::ConnectionLost;
}

// Puts both time-outs of a record back to their entry values on every way out.
class TimeoutRestorer {
public:
    explicit TimeoutRestorer(OrbiTableComCommand& command)
        : command(command), answer(command.answerTimeout), data(command.dataTimeout) {}
    ~TimeoutRestorer() {
        command.answerTimeout = answer;
        command.dataTimeout = data;
    }
    TimeoutRestorer(const TimeoutRestorer&) = delete;
    TimeoutRestorer& operator=(const TimeoutRestorer&) = delete;

    const std::uint32_t& savedAnswer() const { return answer; }
    const std::uint32_t& savedData() const { return data; }

private:
    OrbiTableComCommand& command;
    const std::uint32_t answer;
    const std::uint32_t data;
};

}  // namespace

OrbiTableCommunication::OrbiTableCommunication(LinkPtr link, PropertiesPtr properties)
    : link(std::move(link)), properties(std::move(properties)) {}

OrbiTableCommunication::~OrbiTableCommunication() = default;

void OrbiTableCommunication::execute(OrbiTableComCommand& command) {
    for (;;) {
        try {
            transact(command);
            if (command.acknowledge == OrbiTableComCommand::AckAccepted) receiveAnswer(command);
            return;
        } catch (OrbiZoException& e) {
            if (e.where.empty()) e.where = commandCode(command);
            if (tableGone(e) || --command.attempts <= 0) throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(command.retryDelay));
            // A late answer to the failed try must not pass for the answer to the next one.
            try {
                link->discardInput();
            } catch (OrbiZoException& lost) {
                lost.where = commandCode(command);
                throw;
            }
        }
    }
}

void OrbiTableCommunication::transact(OrbiTableComCommand& command) {
    link->write(buildFrame(command));
    receiveAnswer(command);
    switch (command.acknowledge) {
        case OrbiTableComCommand::AckAccepted:
        case OrbiTableComCommand::AckData:
            return;
        case OrbiTableComCommand::AckNak:
            throw OrbiZoException(ErrorCode::InvalidCommand, "Invalid command (NAK)");
        case OrbiTableComCommand::AckBusy:
            throw OrbiZoException(ErrorCode::DeviceBusy, "Device busy");
        default:
            throw OrbiZoException(ErrorCode::UnknownAcknowledge, "Unknown acknowledge");
    }
}

void OrbiTableCommunication::receiveAnswer(OrbiTableComCommand& command) {
    // Attempts are timed on the clock the link measures its time-outs on.
    const Korvane::Utilities::MonotonicClock& clock = link->clock();
    TimeoutRestorer restorer(command);
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        const auto start = clock.now();
        try {
            readAnswerLine(command);
            return;
        } catch (const OrbiZoException& e) {
            if (tableGone(e)) throw;
            const auto micros = clock.now() - start;
            const auto elapsed = static_cast<std::uint32_t>(micros.count() / 1000);
            command.answerTimeout =
                shortenedTimeout(command.answerTimeout, restorer.savedAnswer(), elapsed);
            command.dataTimeout =
                shortenedTimeout(command.dataTimeout, restorer.savedData(), elapsed);
        }
    }
}

std::uint32_t OrbiTableCommunication::shortenedTimeout(std::uint32_t current, std::uint32_t saved,
                                                       std::uint32_t elapsedMs) {
    const std::uint32_t shortened = current - elapsedMs;  // wraps when the attempt overran
    if (shortened <= saved) return shortened;
    return saved < kTimeoutFloorMs ? saved : kTimeoutFloorMs;
}

void OrbiTableCommunication::readAnswerLine(OrbiTableComCommand& command) {
    const std::uint32_t firstTimeout = command.acknowledge == OrbiTableComCommand::AckAccepted
                                           ? command.dataTimeout
                                           : command.answerTimeout;
    std::string line = readExact(command.hasCode2() ? 7 : 6, firstTimeout);

    // Skip whatever stands before the ':' (left-overs of an earlier answer, noise).
    for (std::size_t skipped = 0; line.front() != kAnswerStart; ++skipped) {
        if (skipped >= kMaxLineBytes) throw frameError("Missing ':'");
        line.erase(0, 1);
        try {
            line += readExact(1, firstTimeout);
        } catch (const OrbiZoException& e) {
            if (tableGone(e)) throw;
            throw frameError("Missing ':'");
        }
    }

    const std::int32_t acknowledge = acknowledgeValue(line[1]);
    if (acknowledge == OrbiTableComCommand::AckNone) throw frameError("No valid acknowledge");
    if (line[2] != command.code1 || (command.hasCode2() && line[3] != command.code2)) {
        throw frameError("Not matching acknowledge");
    }
    const std::size_t afterEcho = command.hasCode2() ? 4 : 3;

    if (acknowledge == OrbiTableComCommand::AckData && command.expectedLength >= 0) {
        line +=
            readExact(static_cast<std::uint32_t>(command.expectedLength) + 1, command.dataTimeout);
    }
    for (std::size_t extra = 0; line.back() != kCarriageReturn; ++extra) {
        if (extra >= kMaxLineBytes) throw frameError("Missing CR");
        try {
            line += readExact(1, command.answerTimeout);
        } catch (const OrbiZoException& e) {
            if (tableGone(e)) throw;
            throw frameError("Missing CR");
        }
    }
    if (!checksumValid(line.substr(0, line.size() - 1))) {
        throw OrbiZoException(ErrorCode::ChecksumNotValid, "Checksum not valid");
    }

    // An error character stands between the echo and the checksum when there is room for it;
    // the data follows it, up to the checksum digits. A short answer leaves a short response.
    const std::size_t checksumAt = line.size() - 3;
    if (afterEcho < checksumAt) {
        const int error = errorValue(line[afterEcho]);
        if (error < 0) {
            throw frameError((boost::format("Invalid error byte (%1%)") % line[afterEcho]).str());
        }
        if (command.expectedLength != 0) {
            const std::size_t wanted =
                command.expectedLength > 0 ? static_cast<std::size_t>(command.expectedLength) : 0;
            command.setResponse(
                line.substr(afterEcho + 1, std::min(wanted, checksumAt - afterEcho - 1)));
        }
        command.errorByte = static_cast<std::uint8_t>(error);
    }
    command.acknowledge = acknowledge;
}

std::string OrbiTableCommunication::readExact(std::uint32_t count, std::uint32_t timeoutMs) {
    std::string text = link->read(count, timeoutMs);
    if (text.size() < count) throw OrbiZoException(ErrorCode::ReadTimeout, "Read timeout");
    return text;
}

std::string OrbiTableCommunication::commandCode(const OrbiTableComCommand& command) {
    std::string code(1, command.code1);
    if (command.hasCode2()) code += command.code2;
    return code;
}

std::string OrbiTableCommunication::buildFrame(const OrbiTableComCommand& command) {
    std::string frame(1, kCommandStart);
    frame += command.code1;
    if (command.hasCode2()) frame += command.code2;
    frame.append(command.arguments.begin(), command.arguments.end());
    frame += lineChecksum(frame);
    frame += kCarriageReturn;
    return frame;
}

std::string OrbiTableCommunication::lineChecksum(const std::string& text) {
    return ::Korvane::Utilities::toHexString(twosComplementOfSum(text, text.size()), 2);
}

bool OrbiTableCommunication::checksumValid(const std::string& line) {
    if (line.size() < 2) return false;
    const int high = ::Korvane::Utilities::hexDigitValue(line[line.size() - 2]);
    const int low = ::Korvane::Utilities::hexDigitValue(line[line.size() - 1]);
    if (high < 0 || low < 0) return false;
    return twosComplementOfSum(line, line.size() - 2) == high * 16 + low;
}

}  // namespace Communication
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "ModelledBound.h"

#include <string>

#include "simulator/BootloaderCommands.h"
#include "simulator/SerialConverter.h"

using Korvane::Simulator::BootloaderCommands;
using Korvane::Simulator::SerialConverter;
using Korvane::Simulator::TimingModel;
using Korvane::Simulator::WireRecord;

namespace {

// The host's own waits in an update: before boot break, and after the final restart.
constexpr std::chrono::milliseconds kFixedPauses{200 + 1000};

}  // namespace

ModelledBound::ModelledBound(const std::vector<WireRecord>& transcript, const TimingModel& model,
                             std::chrono::microseconds latency)
    : byteTime(TimingModel::byteTime(SerialConverter::kDivisor)), latency(latency) {
    std::string sent;
    for (const WireRecord& record : transcript) {
        if (record.direction == WireRecord::Direction::ToTable) {
            bytesOnTheLine += record.bytes.size();
            sent += record.bytes;
        } else if (record.direction == WireRecord::Direction::FromTable) {
            bytesOnTheLine += record.bytes.size();
            // A '!' answer is followed by its completion line, which the host waits for as
            // part of the action: one latency period per command.
            if (record.bytes.compare(0, 2, ":!") != 0) ++answerLines;
        }
    }
    std::size_t begin = 0;
    for (std::size_t end; (end = sent.find('\r', begin)) != std::string::npos; begin = end + 1) {
        const std::string line = sent.substr(begin, end - begin);
        // ";" + code and arguments + two checksum digits.
        if (line.size() >= 4 && line[0] == ';') addCommand(line.substr(1, line.size() - 3), model);
    }
}

void ModelledBound::addCommand(const std::string& body, const TimingModel& model) {
    if (body == "r") {
        actions += model.reset;
    } else if (body.compare(0, 2, "u2") == 0 && body.size() == 4) {
        // Erase of the sectors from the first to the last hex digit.
        const int first = std::stoi(body.substr(2, 1), nullptr, 16);
        const int last = std::stoi(body.substr(3, 1), nullptr, 16);
        if (last >= first) actions += model.erasePerSector * (last - first + 1);
    } else if (body.compare(0, 2, "u1") == 0 && body.size() == 12) {
        actions +=
            model.copyPer512Bytes * static_cast<long>(BootloaderCommands::copySize(body[11]) / 512);
    }
}

double ModelledBound::seconds() const {
    const auto total = byteTime * static_cast<long>(bytesOnTheLine) +
                       latency * static_cast<long>(answerLines) + actions + kFixedPauses;
    return std::chrono::duration<double>(total).count();
}

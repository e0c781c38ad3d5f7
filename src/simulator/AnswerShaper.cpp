#include "simulator/AnswerShaper.h"

#include <algorithm>

#include "simulator/LineFormat.h"

namespace Korvane {
namespace Simulator {

std::vector<AnswerShaper::Piece> AnswerShaper::shape(const std::string& code,
                                                     const TableReply& reply, const Fault* fault) {
    std::vector<Piece> pieces;
    if (fault && fault->kind == Fault::Kind::Drop) return pieces;

    std::string line =
        LineFormat::answerLine(reply.acknowledge, code, reply.withError, reply.error, reply.data);
    if (fault) applyToLine(line, *fault);

    std::chrono::microseconds start{0};
    if (fault && fault->kind == Fault::Kind::Delay) start = fault->delay;
    // Header first, data block later (a measurement in progress).
    std::size_t cut = reply.dataDelay.count() > 0 ? 3 + code.size() : 0;
    std::chrono::microseconds pause = reply.dataDelay;
    if (fault && fault->kind == Fault::Kind::Split) {
        cut = fault->position;
        pause = fault->delay;
    }
    if (cut > 0 && cut < line.size()) {
        pieces.push_back(Piece{line.substr(0, cut), start});
        pieces.push_back(Piece{line.substr(cut), start + pause});
    } else {
        pieces.push_back(Piece{line, start});
    }
    if (reply.acknowledge == '!') {
        // Done when the action is over, but never before the answer line is out.
        pieces.push_back(Piece{LineFormat::answerLine('$', code, true, 0, ""),
                               std::max(pieces.back().after, start + reply.actionTime)});
    }
    return pieces;
}

void AnswerShaper::applyToLine(std::string& line, const Fault& fault) {
    // line ends in two checksum digits and CR.
    switch (fault.kind) {
        case Fault::Kind::Corrupt: {
            const std::size_t at =
                fault.position == Fault::kLastDataByte ? line.size() - 4 : fault.position;
            if (at < line.size()) line[at] = static_cast<char>(line[at] ^ 0x01);
            break;
        }
        case Fault::Kind::WrongChecksum: {
            const std::string body = line.substr(0, line.size() - 3);
            line = body + LineFormat::hex(LineFormat::checksum(body) + 1u, 2) + '\r';
            break;
        }
        case Fault::Kind::Noise:
            line = fault.noise + line;
            break;
        default:
            break;
    }
}

}  // namespace Simulator
}  // namespace Korvane

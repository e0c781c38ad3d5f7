#pragma once

// Turns a table's reply into the pieces that go onto the serial line, with an answer fault
// (Fault) applied to the answer line: each piece leaves `after` the command was taken (or when
// the line is free).

#include <chrono>
#include <string>
#include <vector>

#include "simulator/Fault.h"
#include "simulator/TableReply.h"

namespace Korvane {
namespace Simulator {

class AnswerShaper {
public:
    struct Piece {
        std::string bytes;
        std::chrono::microseconds after{0};
    };

    // The answer line, then for '!' replies the completion line ("$", the code, error 0) when
    // the action is done. `fault` may be null.
    static std::vector<Piece> shape(const std::string& code, const TableReply& reply,
                                    const Fault* fault);

private:
    static void applyToLine(std::string& line, const Fault& fault);
};

}  // namespace Simulator
}  // namespace Korvane

#pragma once

// What a full update should take on the modelled wire, worked out from the simulated table's
// wire transcript of that update: every byte at the serial line's byte time, every answer held
// back for one latency period by the converter, the table's erase, copy and reset times, and
// the host's fixed pauses (200 ms before boot break, 1000 ms after the final restart).
//
// It leaves out what overlaps: an answer's own bytes usually go out while the converter still
// holds the packet, and a copy's completion line comes with its answer. So the bound sits a
// little above a measured update, and a host that adds time of its own shows as a ratio
// (measured / bound) near or above 1.

#include <chrono>
#include <cstddef>
#include <vector>

#include "simulator/TimingModel.h"
#include "simulator/WireTranscript.h"

class ModelledBound {
public:
    // `latency`: what the converter held short packets for in that update.
    ModelledBound(const std::vector<Korvane::Simulator::WireRecord>& transcript,
                  const Korvane::Simulator::TimingModel& model, std::chrono::microseconds latency);

    double seconds() const;

    std::size_t bytes() const { return bytesOnTheLine; }
    std::size_t answers() const { return answerLines; }

private:
    void addCommand(const std::string& body, const Korvane::Simulator::TimingModel& model);

    std::size_t bytesOnTheLine = 0;
    std::size_t answerLines = 0;
    std::chrono::microseconds byteTime{0};
    std::chrono::microseconds latency{0};
    std::chrono::microseconds actions{0};
};

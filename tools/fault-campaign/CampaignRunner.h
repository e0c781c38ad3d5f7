#pragma once

// Runs one scenario of the fault campaign against its own simulated table: an update of the
// embedded firmware with the scenario's faults armed, then a clean second update, and judges
// what the first update reported against what the table's flash holds.

#include <chrono>
#include <string>
#include <vector>

#include "Scenario.h"

namespace Korvane {
namespace Tools {

struct Outcome {
    enum class Verdict { Success, Failure, FalseSuccess, FalseFailure, Hang, Crash };

    Verdict verdict = Verdict::Failure;
    bool disconnectMisreported = false;
    bool unrecovered = false;
    std::string report;  // what the update said: the failure's text and detail
    // Time from the last bytes the host sent to the failure report (failures only).
    std::chrono::milliseconds timeToReport{0};
};

class CampaignRunner {
public:
    // timing: the simulated table's timing model on. hangAfter: a first update that has not
    // reported by then counts as a hang. transcripts: an unrecovered second update's report
    // carries the table's transcript.
    CampaignRunner(bool timing, std::chrono::seconds hangAfter, bool transcripts = false);

    // Thread-safe: each call makes its own table.
    Outcome run(const Scenario& scenario, const std::string& serialNumber) const;

private:
    bool timing;
    std::chrono::seconds hangAfter;
    bool transcripts;
};

const char* verdictText(Outcome::Verdict verdict);

}  // namespace Tools
}  // namespace Korvane

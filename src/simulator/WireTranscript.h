#pragma once

// What crossed a simulated table's serial line, in both directions, with time stamps. Kept by
// the table and readable by tests and the command-line tool. Thread-safe.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace Korvane {
namespace Simulator {

struct WireRecord {
    enum class Direction {
        ToTable,    // bytes the host wrote and the table received
        FromTable,  // bytes the table sent (time: when their first byte goes onto the line)
        Lost,       // bytes the host wrote that the unconfigured converter dropped
        Event,      // what the table did: reset, boot break, power loss, unplug
    };
    double seconds = 0;  // since the transcript was started or cleared
    Direction direction = Direction::ToTable;
    std::string bytes;
};

class WireTranscript {
public:
    using Clock = std::chrono::steady_clock;

    WireTranscript();

    void add(Clock::time_point at, WireRecord::Direction direction, const std::string& bytes);
    std::vector<WireRecord> records() const;
    void clear();

    // One line per record: "<seconds, 6 decimals> <> | < | lost | event> <bytes>", with control
    // and non-ASCII bytes written as \r or \xNN.
    std::string text() const;
    static std::string escape(const std::string& bytes);

private:
    mutable std::mutex mutex;
    Clock::time_point start;
    std::vector<WireRecord> entries;
};

}  // namespace Simulator
}  // namespace Korvane

#include "simulator/WireTranscript.h"

#include <cstdio>

namespace Korvane {
namespace Simulator {

WireTranscript::WireTranscript() : start(Clock::now()) {}

void WireTranscript::add(Clock::time_point at, WireRecord::Direction direction,
                         const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    WireRecord record;
    record.seconds = std::chrono::duration<double>(at - start).count();
    record.direction = direction;
    record.bytes = bytes;
    entries.push_back(std::move(record));
}

std::vector<WireRecord> WireTranscript::records() const {
    std::lock_guard<std::mutex> lock(mutex);
    return entries;
}

void WireTranscript::clear() {
    std::lock_guard<std::mutex> lock(mutex);
    entries.clear();
    start = Clock::now();
}

std::string WireTranscript::escape(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string WireTranscript::text() const {
    static const char* const names[] = {">", "<", "lost", "event"};
    std::string out;
    for (const WireRecord& record : records()) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%.6f ", record.seconds);
        out += stamp;
        out += names[static_cast<int>(record.direction)];
        out += ' ';
        out +=
            record.direction == WireRecord::Direction::Event ? record.bytes : escape(record.bytes);
        out += '\n';
    }
    return out;
}

}  // namespace Simulator
}  // namespace Korvane

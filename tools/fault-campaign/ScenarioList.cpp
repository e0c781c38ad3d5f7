#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "Scenario.h"
#include "simulator/Fault.h"

namespace Korvane {
namespace Tools {

namespace {

using Simulator::Fault;
using Simulator::SimulatedTable;

// The embedded firmware programs sectors 4 to 13.
constexpr int kFirstSector = 4;
constexpr int kMiddleSector = 8;
constexpr int kLastSector = 13;
const int kPositions[] = {kFirstSector, kMiddleSector, kLastSector};
// Commands the update sends before the first sector, and once per update of each.
// a1: the connection's version query; r: the restart into the bootloader; o0; uA.
// Per programmed sector: u0 (prepare), u2, u3, then 16 x (u9, u9, u0, u1), then u7.
constexpr unsigned kRamWritesPerSector = 32;
constexpr unsigned kPreparesPerSector = 17;
constexpr unsigned kCopiesPerSector = 16;
// Commands of a whole update, for spreading the unplugs: 4 before the sectors, 68 per sector,
// r and a0 at the end.
constexpr unsigned kUpdateCommands = 4 + 10 * 68 + 2;

struct FaultKind {
    const char* name;
    Fault (*make)(const std::string& code, unsigned occurrence);
};

const FaultKind kFaultKinds[] = {
    {"drop", [](const std::string& c, unsigned n) { return Fault::drop(c, n); }},
    // Later than the answer's whole time-out: the answer turns up during the next try.
    {"delay", [](const std::string& c,
                 unsigned n) { return Fault::delayed(c, std::chrono::milliseconds(2500), n); }},
    {"split", [](const std::string& c,
                 unsigned n) { return Fault::split(c, 4, std::chrono::milliseconds(40), n); }},
    {"corrupt",
     [](const std::string& c, unsigned n) { return Fault::corrupt(c, Fault::kLastDataByte, n); }},
    {"noise",
     [](const std::string& c, unsigned n) { return Fault::noiseBefore(c, "\x7f?garbage\r", n); }},
    {"checksum", [](const std::string& c, unsigned n) { return Fault::wrongChecksum(c, n); }},
    {"nak", [](const std::string& c, unsigned n) { return Fault::nak(c, n); }},
    {"busy", [](const std::string& c, unsigned n) { return Fault::busy(c, n); }},
    {"device error", [](const std::string& c, unsigned n) { return Fault::deviceError(c, 9, n); }},
};

// Occurrence of a per-sector command in `sector` (its first one there), counted from the
// start of the update.
unsigned occurrenceIn(int sector, unsigned perSector) {
    return static_cast<unsigned>(sector - kFirstSector) * perSector + 1;
}

void addAnswerFaults(std::vector<Scenario>& list) {
    for (const FaultKind& kind : kFaultKinds) {
        auto add = [&list, &kind](const std::string& code, unsigned occurrence,
                                  const std::string& where, bool bothTries = false) {
            Scenario s;
            s.kind = kind.name;
            s.name = std::string(kind.name) + " " + code + " " + where +
                     (bothTries ? " (both tries)" : "");
            auto make = kind.make;
            s.arm = [make, code, occurrence, bothTries](SimulatedTable& table) {
                table.inject(make(code, occurrence));
                if (bothTries) table.inject(make(code, occurrence + 1));
            };
            list.push_back(s);
        };
        add("a1", 1, "at connect");
        add("r", 1, "into the bootloader");
        add("o0", 1, "boot break");
        add("uA", 1, "unlock");
        for (int sector : kPositions) {
            const std::string where = "sector " + std::to_string(sector);
            add("u0", occurrenceIn(sector, kPreparesPerSector), where);
            add("u2", occurrenceIn(sector, 1), where);
            add("u3", occurrenceIn(sector, 1), where);
            add("u9", occurrenceIn(sector, kRamWritesPerSector), where);
            add("u9", occurrenceIn(sector, kRamWritesPerSector), where, true);
            add("u1", occurrenceIn(sector, kCopiesPerSector), where);
            add("u7", occurrenceIn(sector, 1), where);
        }
        add("r", 2, "final restart");
        add("a0", 1, "standby query");
    }
}

void addDepartures(std::vector<Scenario>& list) {
    for (unsigned n = 0; n <= kUpdateCommands; n += 15) {
        Scenario s;
        s.kind = "unplug";
        s.name = "unplug after " + std::to_string(n) + " commands";
        s.arm = [n](SimulatedTable& table) { table.unplugAfterCommands(n); };
        s.tableLeaves = true;
        list.push_back(s);
    }
    for (int sector = kFirstSector; sector <= kLastSector; ++sector) {
        Scenario s;
        s.kind = "power loss";
        s.name = "power loss in sector " + std::to_string(sector);
        s.arm = [sector](SimulatedTable& table) {
            table.powerLossInSector(static_cast<std::uint16_t>(sector));
        };
        s.tableLeaves = true;
        list.push_back(s);
    }
}

void addLinkTroubles(std::vector<Scenario>& list) {
    Scenario silent;
    silent.kind = "silent";
    silent.name = "silent table";
    silent.arm = [](SimulatedTable& table) { table.inject(Fault::drop("", 0)); };
    list.push_back(silent);

    // More than any answer line may hold, without ':' (before the answer) or CR (inside it).
    const std::string stream(9000, 'x');
    for (const char* code : {"a1", "u9", "u7"}) {
        Scenario s;
        s.kind = "stream";
        s.name = std::string("stream before the answer to ") + code;
        s.arm = [code, stream](SimulatedTable& table) {
            table.inject(Fault::noiseBefore(code, stream, 1));
        };
        list.push_back(s);
    }
    Scenario unterminated;
    unterminated.kind = "stream";
    unterminated.name = "stream inside the answer to u7";
    unterminated.arm = [stream](SimulatedTable& table) {
        table.inject(Fault::noiseBefore("u7", ":$u70" + stream, 1));
    };
    list.push_back(unterminated);

    for (int sector : kPositions) {
        const std::string where = " at sector " + std::to_string(sector);
        Scenario one;
        one.kind = "one-byte packet";
        one.name = "one-byte last packet" + where;
        one.sector = sector;
        one.atSector = [](SimulatedTable& table) { table.oneByteLastPacket(); };
        list.push_back(one);
        for (unsigned reads : {3u, 200u}) {
            Scenario clear;
            clear.kind = "status bit clear";
            clear.name = "status bit clear in " + std::to_string(reads) + " reads" + where;
            clear.sector = sector;
            clear.atSector = [reads](SimulatedTable& table) { table.clearStatusBit(reads); };
            list.push_back(clear);
        }
    }
}

void addConverterTroubles(std::vector<Scenario>& list) {
    auto refused = [&list](const std::string& name, const std::string& code, int times,
                           int sector) {
        Scenario s;
        s.kind = "refused write";
        s.name = "refused write " + name;
        s.tableStays = true;
        auto refuse = [code, times](SimulatedTable& table) { table.refuseWrites(code, times); };
        if (sector < 0) {
            s.arm = refuse;
        } else {
            s.sector = sector;
            s.atSector = refuse;
        }
        list.push_back(s);
    };
    refused("a1 at connect", "a1", 1, -1);
    refused("r into the bootloader", "r", 1, -1);
    refused("uA unlock", "uA", 1, -1);
    for (int sector : kPositions) {
        const std::string where = " sector " + std::to_string(sector);
        refused("u9" + where, "u9", 1, sector);
        refused("u9" + where + " (both tries)", "u9", 2, sector);
        refused("u1" + where, "u1", 1, sector);
    }
    refused("always from connect", "", -1, -1);
    refused("always from sector 8", "", -1, kMiddleSector);

    const std::pair<const char*, void (SimulatedTable::*)(bool)> converters[] = {
        {"latency timer refused", &SimulatedTable::refuseLatencyTimer},
        {"latency timer ignored", &SimulatedTable::ignoreLatencyTimer},
        {"control requests stall", &SimulatedTable::stallControlRequests},
    };
    for (const auto& [name, set] : converters) {
        Scenario s;
        s.kind = name;
        s.name = name;
        s.arm = [set = set](SimulatedTable& table) { (table.*set)(true); };
        list.push_back(s);
    }
}

}  // namespace

std::vector<Scenario> allScenarios() {
    std::vector<Scenario> list;
    addAnswerFaults(list);
    addDepartures(list);
    addLinkTroubles(list);
    addConverterTroubles(list);
    return list;
}

}  // namespace Tools
}  // namespace Korvane

// Runs updates of the embedded firmware against simulated tables that misbehave in every way
// the campaign knows (answer faults on every command of the update, unplugs, power loss, a
// silent or streaming table, link glitches), each followed by a clean second update, and
// prints a table of outcomes per fault kind and a last line with the count of every fault of
// the updater. Exit status 0 only when that line counts no fault at all.
//   orbizo3-fault-campaign [--subset] [--timing] [--jobs N] [--filter TEXT]... [--verbose]
//     --subset   every tenth scenario (about 30), for CTest
//     --jobs     scenarios run at once (default 1; more can disturb each other, see Options)
//     --timing   the simulated tables' timing model on (serial line, latency, flash times)
//     --filter   only scenarios whose name contains TEXT (repeatable: any of them)
// With ORBIZO3_CAMPAIGN_TRANSCRIPT set, an unrecovered second update prints the table's transcript.
#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CampaignRunner.h"
#include "Scenario.h"
#include "simulator/SimulatorEnvironment.h"

using Korvane::Tools::CampaignRunner;
using Korvane::Tools::Outcome;
using Korvane::Tools::Scenario;

namespace {

struct Options {
    bool subset = false;
    bool timing = false;
    bool verbose = false;
    // Tables in one process share the transfer routes' process-wide locks, so a table held up
    // in a read delays the others' reads; run in parallel, they can miss the boot break window.
    unsigned jobs = 1;
    std::vector<std::string> filters;  // any of them in the name
};

struct Row {
    unsigned scenarios = 0;
    unsigned counts[6] = {};  // by Outcome::Verdict
    unsigned unrecovered = 0;
    unsigned misreported = 0;
    long longestReportMs = 0;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--subset") {
            options.subset = true;
        } else if (arg == "--timing") {
            options.timing = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--jobs" && i + 1 < argc) {
            options.jobs = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
        } else if (arg == "--filter" && i + 1 < argc) {
            options.filters.push_back(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: orbizo3-fault-campaign [--subset] [--timing] [--jobs N] "
                         "[--filter TEXT] [--verbose]\n");
            return false;
        }
    }
    return true;
}

std::vector<Scenario> selected(const Options& options) {
    std::vector<Scenario> all = Korvane::Tools::allScenarios();
    std::vector<Scenario> chosen;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (options.subset && i % 10 != 0) continue;
        const bool named = std::any_of(
            options.filters.begin(), options.filters.end(),
            [&](const std::string& f) { return all[i].name.find(f) != std::string::npos; });
        if (!options.filters.empty() && !named) continue;
        chosen.push_back(all[i]);
    }
    return chosen;
}

bool bad(const Outcome& o) {
    return (o.verdict != Outcome::Verdict::Success && o.verdict != Outcome::Verdict::Failure) ||
           o.unrecovered || o.disconnectMisreported;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) return 2;
    Korvane::Utilities::RunSettings settings;
    settings.useSimulatedTables(0);
    Korvane::Simulator::SimulatorEnvironment::start(settings);
    QCoreApplication application(argc, argv);

    const std::vector<Scenario> scenarios = selected(options);
    // With the timing model on, an update takes minutes; the hang bound grows with it.
    const CampaignRunner runner(options.timing, std::chrono::seconds(options.timing ? 900 : 120),
                                std::getenv("ORBIZO3_CAMPAIGN_TRANSCRIPT") != nullptr);
    std::vector<Outcome> outcomes(scenarios.size());
    std::atomic<std::size_t> next{0};
    std::mutex printing;
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < std::min<std::size_t>(options.jobs, scenarios.size()); ++j) {
        workers.emplace_back([&] {
            for (std::size_t i; (i = next++) < scenarios.size();) {
                outcomes[i] = runner.run(scenarios[i], "CAMPAIGN" + std::to_string(i));
                if (options.verbose || bad(outcomes[i])) {
                    std::lock_guard<std::mutex> lock(printing);
                    std::printf(
                        "%-48s %-14s %6ld ms  %s%s%s\n", scenarios[i].name.c_str(),
                        Korvane::Tools::verdictText(outcomes[i].verdict),
                        static_cast<long>(outcomes[i].timeToReport.count()),
                        outcomes[i].report.c_str(),
                        outcomes[i].unrecovered ? "  [UNRECOVERED]" : "",
                        outcomes[i].disconnectMisreported ? "  [DISCONNECT MISREPORTED]" : "");
                    std::fflush(stdout);
                }
            }
        });
    }
    for (std::thread& worker : workers) worker.join();

    std::map<std::string, Row> rows;
    std::vector<std::string> order;
    Row total;
    for (std::size_t i = 0; i < scenarios.size(); ++i) {
        if (!rows.count(scenarios[i].kind)) order.push_back(scenarios[i].kind);
        for (Row* row : {&rows[scenarios[i].kind], &total}) {
            const Outcome& o = outcomes[i];
            ++row->scenarios;
            ++row->counts[static_cast<int>(o.verdict)];
            row->unrecovered += o.unrecovered ? 1 : 0;
            row->misreported += o.disconnectMisreported ? 1 : 0;
            row->longestReportMs = std::max<long>(row->longestReportMs, o.timeToReport.count());
        }
    }
    std::printf("\n%-18s %5s %7s %7s %6s %6s %5s %5s %7s %7s %12s\n", "fault kind", "runs",
                "success", "failure", "false+", "false-", "hang", "crash", "unrecov", "discon.",
                "report (ms)");
    auto print = [](const std::string& name, const Row& r) {
        std::printf("%-18s %5u %7u %7u %6u %6u %5u %5u %7u %7u %12ld\n", name.c_str(), r.scenarios,
                    r.counts[0], r.counts[1], r.counts[2], r.counts[3], r.counts[4], r.counts[5],
                    r.unrecovered, r.misreported, r.longestReportMs);
    };
    for (const std::string& kind : order) print(kind, rows[kind]);
    print("all", total);
    std::printf(
        "\n%u scenarios: %u false successes, %u hangs, %u crashes, %u unrecovered, %u false "
        "failures, %u disconnects misreported\n",
        total.scenarios, total.counts[2], total.counts[4], total.counts[5], total.unrecovered,
        total.counts[3], total.misreported);
    std::fflush(stdout);
    const bool clean = total.counts[2] + total.counts[3] + total.counts[4] + total.counts[5] +
                           total.unrecovered + total.misreported ==
                       0;
    // A hung update still runs on its thread; do not wait for it.
    std::_Exit(clean ? 0 : 1);
}

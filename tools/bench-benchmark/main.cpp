// Times the service bench (`update --all`) over N simulated tables on their timing model at
// the default latency timer, against one single-table update, and prints per N:
//   bench N tables: X s, one table: Y s, ratio R
// Usage: orbizo3-bench-benchmark [ORBIZO3_CLI] [N ...]   (default N: 1 2 4 8)
// Each run is a fresh orbizo3-cli process with fresh simulated tables and no history; the
// single update is run once. A run that does not exit 0 is reported and ends the benchmark.
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Wall-clock seconds of one orbizo3-cli run; negative when it failed.
double timed(const std::string& cli, const std::string& arguments) {
    const std::string command =
        "env -u ORBIZO3_SIMULATOR -u ORBIZO3_USB_TRACE "
        "-u ORBIZO3_SIMULATOR_TIMING -u ORBIZO3_SIMULATOR_FAULT '" +
        cli + "' --simulator-timing --no-history --yes " + arguments + " >/dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed (status %d): %s\n", status, command.c_str());
        return -1;
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    std::string cli = ORBIZO3_CLI;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.find('/') != std::string::npos)
            cli = argument;
        else
            counts.push_back(std::atoi(argument.c_str()));
    }
    if (counts.empty()) counts = {1, 2, 4, 8};

    const double single = timed(cli, "--simulated-tables 1 update");
    if (single < 0) return 1;
    for (int n : counts) {
        const double bench =
            timed(cli, "--simulated-tables " + std::to_string(n) + " update --all");
        if (bench < 0) return 1;
        std::printf("bench %d tables: %.1f s, one table: %.1f s, ratio %.2f\n", n, bench, single,
                    bench / single);
        std::fflush(stdout);
    }
    return 0;
}

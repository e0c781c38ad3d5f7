#include <gtest/gtest.h>

#include <sstream>

#include "cli/ProgressDisplay.h"

namespace {

using Korvane::DeviceDriver::OrbiZo::Cli::ProgressDisplay;
using std::chrono::seconds;

TEST(ProgressDisplay, BarShowsElapsedTimeAndTheTimeLeft) {
    struct Case {
        int percent;
        int firstPercent;
        long elapsed;
        std::string tail;
    };
    const Case cases[] = {
        {5, 5, 0, "   5%  0:00 elapsed, -:-- left  "},
        {15, 5, 10, "  15%  0:10 elapsed, 1:25 left  "},   // 10 points in 10 s, 85 to go
        {50, 15, 70, "  50%  1:10 elapsed, 1:40 left  "},  // 35 points in 70 s, 50 to go
        {100, 5, 44, " 100%  0:44 elapsed, 0:00 left  "},
    };
    for (const Case& c : cases) {
        const std::string line =
            ProgressDisplay::barLine(c.percent, c.firstPercent, seconds(c.elapsed));
        EXPECT_EQ(line.substr(line.find(']') + 1), c.tail) << c.percent;
        EXPECT_EQ(line.find("\r["), 0u);
    }
}

TEST(ProgressDisplay, TimeIsTakenFromTheFirstValueOn) {
    std::ostringstream out;
    auto now = std::chrono::steady_clock::time_point() + seconds(1000);
    ProgressDisplay display(out, true, [&now] { return now; });
    display.show(5);
    now += seconds(30);
    display.show(20);
    EXPECT_NE(out.str().find("20%  0:30 elapsed, 2:40 left"), std::string::npos) << out.str();
}

}  // namespace

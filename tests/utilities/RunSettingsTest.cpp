#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include "utilities/RunSettings.h"

namespace {

using Korvane::Utilities::RunSettings;

QProcessEnvironment environmentOf(std::initializer_list<std::pair<const char*, const char*>> vars) {
    QProcessEnvironment environment;
    for (const auto& var : vars) environment.insert(var.first, var.second);
    return environment;
}

// Nothing in the environment: real USB, the default latency timer, no trace, no history.
TEST(RunSettings, AnEmptyEnvironmentTellsNothing) {
    EXPECT_TRUE(RunSettings::fromEnvironment(QProcessEnvironment()) == RunSettings());
    EXPECT_EQ(RunSettings().toArguments(), QStringList{"--no-history"});
}

TEST(RunSettings, SimulatedTablesFromTheVariable) {
    struct Case {
        const char* value;
        unsigned count;
    } cases[] = {{"", 1},   {"x", 1},  {"3", 3},  {"0", 0},
                 {"-2", 1}, {"2x", 1}, {"65", 1}, {"64", 64}};
    for (const Case& c : cases) {
        const RunSettings settings =
            RunSettings::fromEnvironment(environmentOf({{"ORBIZO3_SIMULATOR", c.value}}));
        EXPECT_TRUE(settings.simulated()) << c.value;
        EXPECT_EQ(settings.simulatedTables(), c.count) << c.value;
    }
}

TEST(RunSettings, TraceTimingHistoryAndUserFromTheEnvironment) {
    struct Case {
        std::initializer_list<std::pair<const char*, const char*>> vars;
        QString trace;
        bool timing;
        QString history;
        QString user;
    } cases[] = {
        {{{"ORBIZO3_USB_TRACE", "/tmp/t"}, {"HOME", "/h"}, {"USER", "u"}, {"LOGNAME", "l"}},
         "/tmp/t",
         false,
         "/h/.local/state/orbizo3/history.sqlite3",
         "u"},
        {{{"ORBIZO3_SIMULATOR_TIMING", "1"},
          {"XDG_STATE_HOME", "/s"},
          {"HOME", "/h"},
          {"USER", ""},
          {"LOGNAME", "l"},
          {"USERNAME", "n"}},
         "",
         true,
         "/s/orbizo3/history.sqlite3",
         "l"},
        {{{"XDG_STATE_HOME", "relative"}, {"HOME", "/h"}, {"USERNAME", "n"}},
         "",
         false,
         "/h/.local/state/orbizo3/history.sqlite3",
         "n"},
        {{{"ORBIZO3_SIMULATOR_TIMING", "yes"}, {"ORBIZO3_HISTORY", "/x.db"}, {"HOME", "/h"}},
         "",
         false,
         "/x.db",
         ""},
    };
    for (const Case& c : cases) {
        const RunSettings settings = RunSettings::fromEnvironment(environmentOf(c.vars));
        EXPECT_EQ(settings.traceFile(), c.trace);
        EXPECT_EQ(settings.simulatorTiming(), c.timing);
        EXPECT_EQ(settings.historyFile(), c.history);
        EXPECT_EQ(settings.userName(), c.user);
        // A child gets the settings as options, the rest of the environment as it is.
        EXPECT_TRUE(settings.childEnvironment().contains("HOME=/h"));
        EXPECT_TRUE(settings.childEnvironment().filter("ORBIZO3_").isEmpty());
    }
}

// Simulated tables without their timing model answer at once: their runs measure time-outs on a
// virtual clock that the tables move; every other run on the steady clock.
TEST(RunSettings, TheClockFollowsTheHost) {
    struct Case {
        std::initializer_list<std::pair<const char*, const char*>> vars;
        bool virtualClock;
    } cases[] = {
        {{}, false},
        {{{"ORBIZO3_SIMULATOR", "1"}}, true},
        {{{"ORBIZO3_SIMULATOR", "1"}, {"ORBIZO3_SIMULATOR_TIMING", "1"}}, false},
        {{{"ORBIZO3_SIMULATOR_TIMING", "1"}}, false},
    };
    for (const Case& c : cases) {
        const RunSettings settings = RunSettings::fromEnvironment(environmentOf(c.vars));
        EXPECT_EQ(settings.virtualClock() != nullptr, c.virtualClock);
        EXPECT_EQ(settings.clock() == Korvane::Utilities::MonotonicClock::steady(),
                  !c.virtualClock);
    }

    RunSettings simulated;
    simulated.useSimulatedTables(1);
    const auto clock = simulated.virtualClock();
    ASSERT_NE(clock, nullptr);
    const RunSettings copy = simulated;
    EXPECT_EQ(copy.clock(), clock);  // copies share it
    simulated.useSimulatedTables(3);
    EXPECT_EQ(simulated.clock(), clock);  // kept while the run stays simulated without timing
    simulated.setSimulatorTiming(true);
    EXPECT_EQ(simulated.virtualClock(), nullptr);
    simulated.setSimulatorTiming(false);
    simulated.useRealUsb();
    EXPECT_EQ(simulated.virtualClock(), nullptr);
}

}  // namespace

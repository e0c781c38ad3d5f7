#include <gtest/gtest.h>

#include <QCommandLineParser>
#include <functional>

#include "cli/DeviceSelection.h"
#include "utilities/RunSettings.h"

// The global options make a run's settings over the environment's, and a run's settings turn
// back into the options that make them (for a child process).
namespace {

using Korvane::DeviceDriver::OrbiZo::Cli::DeviceSelection;
using Korvane::Utilities::RunSettings;

// The options' problem (empty when usable) and the settings they make over `environment`.
std::pair<QString, RunSettings> parse(const QStringList& arguments,
                                      const RunSettings& environment = RunSettings()) {
    QCommandLineParser parser;
    for (const QCommandLineOption& option : DeviceSelection::globalOptions())
        parser.addOption(option);
    EXPECT_TRUE(parser.parse(QStringList{"orbizo3-cli"} + arguments))
        << parser.errorText().toStdString();
    const QString problem = DeviceSelection::optionProblem(parser);
    return {problem,
            problem.isEmpty() ? DeviceSelection::runSettings(parser, environment) : RunSettings()};
}

RunSettings made(const std::function<void(RunSettings&)>& change) {
    RunSettings settings;
    change(settings);
    return settings;
}

TEST(SettingsOptions, SettingsSurviveTheRoundTripThroughArguments) {
    const RunSettings cases[] = {
        RunSettings(),
        made([](RunSettings& s) {
            s.useSimulatedTables(3);
            s.setSimulatorTiming(true);
            s.setTraceFile("/tmp/a trace");
            s.setLatencyTimerMs(7);
            s.setHistoryFile("/var/h.sqlite3");
            s.setSimulatedFault("OZ3S000002:unplug-after:40");
        }),
        made([](RunSettings& s) {
            s.useSimulatedTables(0);
            s.setLatencyTimerMs(RunSettings::kKeepConverterLatencyTimer);
        }),
        made([](RunSettings& s) { s.setLatencyTimerMs(255); }),
    };
    for (const RunSettings& settings : cases) {
        const QStringList arguments = settings.toArguments();
        const auto parsed = parse(arguments);
        EXPECT_EQ(parsed.first, QString()) << arguments.join(' ').toStdString();
        EXPECT_TRUE(parsed.second == settings) << arguments.join(' ').toStdString();
    }
}

TEST(SettingsOptions, OptionsOverTheEnvironment) {
    const RunSettings twoTables = made([](RunSettings& s) {
        s.useSimulatedTables(2);
        s.setTraceFile("/env.trace");
        s.setHistoryFile("/env.sqlite3");
    });
    struct Case {
        QStringList arguments;
        RunSettings environment;
        RunSettings expected;
    } cases[] = {
        // The environment's table count wins over --simulate's single table.
        {{"--simulate"}, twoTables, twoTables},
        {{"--simulate"}, RunSettings(), made([](RunSettings& s) { s.useSimulatedTables(1); })},
        {{"--simulated-tables", "0", "--trace", "/o", "--no-history"},
         twoTables,
         made([](RunSettings& s) {
             s.useSimulatedTables(0);
             s.setTraceFile("/o");
         })},
        {{"--history", "/h", "--no-latency-timer", "--simulator-timing"},
         RunSettings(),
         made([](RunSettings& s) {
             s.setHistoryFile("/h");
             s.setLatencyTimerMs(RunSettings::kKeepConverterLatencyTimer);
             s.setSimulatorTiming(true);
         })},
    };
    for (const Case& c : cases) {
        const auto parsed = parse(c.arguments, c.environment);
        EXPECT_TRUE(parsed.second == c.expected) << c.arguments.join(' ').toStdString();
    }
}

TEST(SettingsOptions, UnusableValuesAreUsageErrors) {
    EXPECT_EQ(parse({"--history", "/h", "--no-history"}).first,
              "--history and --no-history exclude each other.");
    EXPECT_EQ(parse({"--simulated-tables", "65"}).first,
              "--simulated-tables takes 0 to 64 tables, not '65'.");
    EXPECT_EQ(parse({"--simulated-tables", "-1"}).first,
              "--simulated-tables takes 0 to 64 tables, not '-1'.");
}

}  // namespace

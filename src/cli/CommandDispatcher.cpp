#include "cli/CommandDispatcher.h"

#include <QCoreApplication>

#include "cli/ExitCode.h"
#include "cli/JsonOutput.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

CommandDispatcher::CommandDispatcher(const QString& description) : description(description) {}

void CommandDispatcher::addGlobalOption(const QCommandLineOption& option) {
    globalOptions.push_back(option);
}

void CommandDispatcher::setGlobalOptionCheck(
    std::function<QString(const QCommandLineParser&)> check) {
    globalOptionCheck = std::move(check);
}

void CommandDispatcher::setRunSettings(
    std::function<Korvane::Utilities::RunSettings(const QCommandLineParser&)> settings,
    std::function<void(const Korvane::Utilities::RunSettings&)> startUp) {
    settingsOf = std::move(settings);
    this->startUp = std::move(startUp);
}

void CommandDispatcher::addCommand(std::unique_ptr<CliCommand> command) {
    commands.push_back(std::move(command));
}

int CommandDispatcher::run(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(description + "\n\nCommands:\n" + commandList());
    addGlobalOptions(parser);
    parser.addPositionalArgument("command", "The command to run.", "COMMAND [arguments]");
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(arguments))
        return usageError(parser.errorText(), parser, arguments, out, err);

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        if (parser.isSet("help")) {
            out << parser.helpText().toStdString();
            return Done;
        }
        if (parser.isSet("version")) {
            if (JsonOutput::requested(parser)) {
                JsonOutput::write(out, {{"program", QCoreApplication::applicationName()},
                                        {"version", QCoreApplication::applicationVersion()}});
            } else {
                out << (QCoreApplication::applicationName() + ' ' +
                        QCoreApplication::applicationVersion())
                           .toStdString()
                    << std::endl;
            }
            return Done;
        }
        return usageError("No command given.", parser, arguments, out, err);
    }
    CliCommand* command = find(positional.first());
    if (!command)
        return usageError("Unknown command '" + positional.first() + "'.", parser, arguments, out,
                          err);
    return runCommand(*command, arguments, out, err);
}

int CommandDispatcher::runCommand(CliCommand& command, const QStringList& arguments,
                                  std::ostream& out, std::ostream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(command.description());
    addGlobalOptions(parser);
    parser.addPositionalArgument(command.name(), command.description(), command.name());
    command.configure(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText(), parser, arguments, out, err);
    if (parser.isSet("help")) {
        out << parser.helpText().toStdString();
        return Done;
    }
    // The first positional argument is the command's name.
    const QStringList commandArguments = parser.positionalArguments().mid(1);
    QString problem = globalOptionCheck ? globalOptionCheck(parser) : QString();
    if (problem.isEmpty()) problem = command.checkArguments(commandArguments);
    if (!problem.isEmpty()) return usageError(problem, parser, arguments, out, err);
    const Korvane::Utilities::RunSettings settings =
        settingsOf ? settingsOf(parser) : Korvane::Utilities::RunSettings();
    if (startUp) startUp(settings);
    return command.run(parser, settings, commandArguments, out, err);
}

void CommandDispatcher::addGlobalOptions(QCommandLineParser& parser) const {
    parser.addHelpOption();
    parser.addOption(QCommandLineOption({"v", "version"}, "Show the program's version."));
    for (const QCommandLineOption& option : globalOptions) parser.addOption(option);
}

CliCommand* CommandDispatcher::find(const QString& name) const {
    for (const auto& command : commands) {
        if (command->name() == name) return command.get();
    }
    return nullptr;
}

QString CommandDispatcher::commandList() const {
    QStringList lines;
    for (const auto& command : commands) {
        lines << "  " + command->name().leftJustified(10) + command->description();
    }
    return lines.join('\n');
}

int CommandDispatcher::usageError(const QString& problem, const QCommandLineParser& parser,
                                  const QStringList& arguments, std::ostream& out,
                                  std::ostream& err) {
    // A script that asked for JSON gets its one document even when the line does not parse.
    if (arguments.contains("--json")) {
        JsonOutput::write(out, JsonOutput::error(0, problem, QString()));
        return UsageError;
    }
    err << problem.toStdString() << "\n\n" << parser.helpText().toStdString();
    return UsageError;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "cli/UpdateCommand.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QJsonObject>
#include <QObject>
#include <iostream>
#include <optional>
#include <string>

#include "cli/BenchChild.h"
#include "cli/DeviceSelection.h"
#include "cli/ExitCode.h"
#include "cli/InterruptGuard.h"
#include "cli/JsonOutput.h"
#include "cli/ProgressDisplay.h"
#include "cli/ServiceBench.h"
#include "cli/TableChoice.h"
#include "cli/UserMessage.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/UserFailure.h"
#include "history/ServiceRecord.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::DeviceConnection;
using Firmware::DeviceInfo;
using Firmware::OrbiZo3FWUpdater;

UpdateCommand::UpdateCommand(std::istream& answers) : answers(answers) {}

QString UpdateCommand::name() const {
    return "update";
}

QString UpdateCommand::description() const {
    return "Write the embedded firmware, or FILE, into the table.";
}

void UpdateCommand::configure(QCommandLineParser& parser) const {
    parser.addPositionalArgument("FILE", "Firmware file (.zof); default: the embedded firmware.",
                                 "[FILE]");
    ServiceBench::configure(parser);
    BenchChild::configure(parser);
}

QString UpdateCommand::checkArguments(const QStringList& arguments) const {
    return arguments.size() <= 1 ? QString() : "update takes at most one firmware file.";
}

int UpdateCommand::run(const QCommandLineParser& parser,
                       const Korvane::Utilities::RunSettings& settings,
                       const QStringList& arguments, std::ostream& out, std::ostream& err) {
    if (BenchChild::requested(parser))
        return BenchChild(History::HistoryRecord::Kind::Update, parser, settings, out)
            .run(arguments, answers);
    if (ServiceBench::requested(parser))
        return ServiceBench(
                   History::HistoryRecord::Kind::Update,
                   [this](std::ostream& o) { return confirmAll(o); },
                   QCoreApplication::applicationFilePath())
            .run(parser, settings, arguments, out, err);
    const bool json = JsonOutput::requested(parser);
    if (json && !parser.isSet("yes")) return JsonOutput::refuseWithoutYes(name(), out);
    // Failures as the window's error box words them, or as the JSON error.
    const auto fail = [&](const UserFailure& failure) {
        if (json) {
            JsonOutput::write(out, JsonOutput::error(failure, UserMessage::updateFailureTitle()));
        } else {
            UserMessage::print(err, failure, UserMessage::updateFailureTitle());
        }
        return Failed;
    };
    const bool customFirmware = !arguments.isEmpty();
    // The whole file is read and checked as the download will check it before any table is
    // looked for: a refused file touches nothing.
    OrbiZo3FWUpdater updater(nullptr, settings);
    QByteArray content;
    try {
        content = OrbiZo3FWUpdater::readAndCheckFirmwareFile(
            customFirmware ? arguments.first() : QString(kEmbeddedFirmware));
        updater.setFirmwareData(content);
    } catch (...) {
        return fail(UserFailure::fromCurrentException());
    }

    const DeviceSelection selection(parser, settings);
    if (!JsonOutput::usable(selection, json, out, err)) return Failed;
    const TableChoice choice(parser, selection);
    if (choice.ambiguous()) return choice.refuse(json, out, err);
    updater.setDevicePath(choice.devicePath());
    // A chosen table is a recorded attempt, whatever happens next.
    std::optional<History::ServiceRecord> record;
    if (!updater.devicePath().isEmpty())
        record.emplace(settings, History::HistoryRecord::Kind::Update,
                       History::HistoryRecord::FrontEnd::Cli, updater.devicePath(),
                       customFirmware ? arguments.first() : QString(), content,
                       kEmbeddedFirmwareVersion,
                       [&err](const QString& warning) { UserMessage::warn(err, warning); });
    // In JSON mode progress and notes go nowhere: standard output holds the document alone.
    std::ostream nowhere(nullptr);
    ProgressDisplay progress(json ? nowhere : out,
                             !json && &out == &std::cout && ::isatty(STDOUT_FILENO));
    try {
        // Without a table there is nothing to confirm.
        choice.requireTable();
        if (!selection.confirmed() && !confirmAll(out)) {
            if (record) record->cancelled();
            out << "Update cancelled." << std::endl;
            return Failed;
        }
        performUpdate(updater, customFirmware, progress, record ? &*record : nullptr);
    } catch (...) {
        progress.finish();
        const UserFailure failure = UserFailure::fromCurrentException();
        if (record) record->failed(failure, UserMessage::updateFailureTitle());
        return fail(failure);
    }
    const std::uint16_t version = updater.newFirmwareVersion();
    if (record) record->succeeded(version);
    if (json) {
        JsonOutput::write(
            out, QJsonObject{
                     {"device", choice.devicePath()},
                     {"result", "updated"},
                     {"firmware_version",
                      version == 0 ? QJsonValue() : QJsonValue(DeviceInfo::versionText(version))}});
        return Done;
    }
    out << UserMessage::windowText("Successfully updated firmware.", "MsgBox text").toStdString()
        << "\n"
        << "Firmware version: "
        << (version == 0 ? std::string("-") : DeviceInfo::versionText(version).toStdString())
        << std::endl;
    return Done;
}

void UpdateCommand::performUpdate(OrbiZo3FWUpdater& updater, bool customFirmware,
                                  ProgressDisplay& progress, History::ServiceRecord* record) {
    progress.show(5);
    {
        DeviceConnection connection(updater.devicePath(), updater.settings());
        const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
        if (record)
            record->identified(info.serialNumber, info.firmwareVersion(), info.latencyTimerMs);
        progress.note(QCoreApplication::translate("UpdaterThread",
                                                  "Start update OrbiZo3 with serial number %1",
                                                  "%1 is Serial number")
                          .arg(info.serialNumber));
    }

    bool ok = false;
    {
        // From here on the table may be left in its bootloader.
        const InterruptGuard guard;
        progress.show(15);
        // Progress reports arrive on this thread; the receiver ends them with this scope.
        const QObject receiver;
        QObject::connect(&updater, &OrbiZo3FWUpdater::ProgressEvent, &receiver,
                         [&progress](int current, int total) {
                             progress.show(ProgressDisplay::percentFromWorkUnits(current, total));
                         });
        updater.setDownloadObserver(record);
        ok = updater.downloadFirmware();
        updater.setDownloadObserver(nullptr);
    }
    progress.show(90);

    if (ok) readBackVersion(updater);
    if (!customFirmware && updater.newFirmwareVersion() == 0)
        updater.setNewFirmwareVersion(kEmbeddedFirmwareVersion);
    progress.show(100);
    progress.finish();
}

// A read-back failure does not undo a completed download; the version is then unknown.
void UpdateCommand::readBackVersion(OrbiZo3FWUpdater& updater) {
    try {
        DeviceConnection connection(updater.devicePath(), updater.settings());
        updater.setNewFirmwareVersion(
            OrbiZo3FWUpdater::readDeviceInfo(connection).firmwareVersion());
    } catch (...) {
    }
}

bool UpdateCommand::confirmAll(std::ostream& out) {
    return confirm(out, UserMessage::windowText("Close any Orbi application", "MsgBox1 title"),
                   UserMessage::windowText(
                       "Please close all applications that use the OrbiZo3 instrument.",
                       "MsgBox1 text")) &&
           confirm(out,
                   UserMessage::windowText("Do you want to update this OrbiZo?", "MsgBox1 title"),
                   UserMessage::windowText("Follow the on screen instructions carefully.",
                                           "MsgBox1 text")) &&
           confirm(out,
                   UserMessage::windowText(
                       "Do not disconnect the instrument or power down your computer "
                       "during the update procedure as failure to complete the procedure "
                       "may render the instrument unusable",
                       "MsgBox2 title"),
                   UserMessage::windowText(
                       "The update procedure will take a few moments and you will be "
                       "notified when it is complete.",
                       "MsgBox2 text"));
}

bool UpdateCommand::confirm(std::ostream& out, const QString& question, const QString& detail) {
    out << question.toStdString() << "\n" << detail.toStdString() << "\n[y/N] " << std::flush;
    std::string answer;
    if (!std::getline(answers, answer)) {
        out << std::endl;
        return false;
    }
    const QString reply = QString::fromStdString(answer).trimmed().toLower();
    return reply == "y" || reply == "yes";
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

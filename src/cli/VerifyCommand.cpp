#include "cli/VerifyCommand.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <boost/format.hpp>
#include <optional>
#include <string>

#include "cli/BenchChild.h"
#include "cli/DeviceSelection.h"
#include "cli/ExitCode.h"
#include "cli/InterruptGuard.h"
#include "cli/JsonOutput.h"
#include "cli/ServiceBench.h"
#include "cli/TableChoice.h"
#include "cli/UserMessage.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/UserFailure.h"
#include "history/ServiceRecord.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::FirmwareVerifier;
using Firmware::OrbiZo3FWUpdater;

namespace {

const char* const kNotRestartedTitle = "The OrbiZo3 could not be restarted into its application";
const char* const kNotRestartedText =
    "It stays in its bootloader; an update of its firmware brings it back.";

// Reports a failure in the form the output mode asks for; returns `exitCode`. A device failure
// is worded as a MessageException wrapping it would be: its code in the detail.
int report(bool json, std::ostream& out, std::ostream& err, UserFailure failure,
           const QJsonObject& found = QJsonObject(), int exitCode = Failed) {
    failure.detail = failure.codedDetail();
    if (json) {
        JsonOutput::write(out,
                          JsonOutput::error(failure, UserMessage::verifyFailureTitle(), found));
    } else {
        UserMessage::print(err, failure, UserMessage::verifyFailureTitle());
    }
    return exitCode;
}

}  // namespace

VerifyCommand::VerifyCommand(std::istream& answers) : answers(answers) {}

QString VerifyCommand::name() const {
    return "verify";
}

QString VerifyCommand::description() const {
    return "Compare what the table holds with FILE, sector by sector, without writing.";
}

void VerifyCommand::configure(QCommandLineParser& parser) const {
    parser.addPositionalArgument("FILE", "Firmware file (.zof).");
    ServiceBench::configure(parser);
    BenchChild::configure(parser);
}

QString VerifyCommand::checkArguments(const QStringList& arguments) const {
    return arguments.size() == 1 ? QString() : "verify takes exactly one firmware file.";
}

int VerifyCommand::run(const QCommandLineParser& parser,
                       const Korvane::Utilities::RunSettings& settings,
                       const QStringList& arguments, std::ostream& out, std::ostream& err) {
    if (BenchChild::requested(parser))
        return BenchChild(History::HistoryRecord::Kind::Verify, parser, settings, out)
            .run(arguments, answers);
    if (ServiceBench::requested(parser))
        return ServiceBench(
                   History::HistoryRecord::Kind::Verify,
                   [this](std::ostream& o) { return confirm(o); },
                   QCoreApplication::applicationFilePath())
            .run(parser, settings, arguments, out, err);
    const bool json = JsonOutput::requested(parser);
    if (json && !parser.isSet("yes")) return JsonOutput::refuseWithoutYes(name(), out);
    // The file is read and checked as `update` does before any table is looked for.
    const QString path = arguments.first();
    QByteArray content;
    try {
        content = OrbiZo3FWUpdater::readAndCheckFirmwareFile(path);
    } catch (...) {
        return report(json, out, err, UserFailure::fromCurrentException());
    }

    const DeviceSelection selection(parser, settings);
    if (!JsonOutput::usable(selection, json, out, err)) return Failed;
    const TableChoice choice(parser, selection);
    if (choice.ambiguous()) return choice.refuse(json, out, err);
    const QJsonObject subject{{"device", choice.devicePath()}, {"file", path}};
    // A chosen table is a recorded attempt, whatever happens next.
    std::optional<History::ServiceRecord> record;
    if (!choice.devicePath().isEmpty())
        record.emplace(settings, History::HistoryRecord::Kind::Verify,
                       History::HistoryRecord::FrontEnd::Cli, choice.devicePath(), path, content, 0,
                       [&err](const QString& warning) { UserMessage::warn(err, warning); });
    const auto refused = [&](const UserFailure& failure, const QJsonObject& found = {}) {
        if (record) record->failed(failure, QString());
        return report(json, out, err, failure, found);
    };

    std::vector<FirmwareVerifier::SectorComparison> sectors;
    try {
        choice.requireTable();
        FirmwareVerifier verifier(choice.devicePath(), content, settings);
        if (!selection.confirmed() && !confirm(out)) {
            if (record) record->cancelled();
            out << "Verification cancelled." << std::endl;
            return Failed;
        }
        // From the boot break to the restart the table sits in its bootloader.
        const InterruptGuard guard;
        // A verify talks to the bootloader only: the record has the serial number, no version.
        if (record) record->identified(verifier.serialNumber(), 0);
        if (record) record->begin();
        sectors = verifier.compareSectors([&](const FirmwareVerifier::SectorComparison& sector) {
            if (record && sector.matches()) record->sectorConfirmed(sector.sector, sector.tableSum);
            if (!json) printSector(sector, out);
        });
        try {
            verifier.restartApplication();
        } catch (...) {
            // The table's refusal to restart is reported with what was compared; anything else
            // as any other failure.
            UserFailure failure = UserFailure::fromCurrentException();
            if (failure.source != UserFailure::Source::Device) throw;
            failure.caption = kNotRestartedTitle;
            failure.text = kNotRestartedText;
            QJsonObject found = subject;
            found.insert("sectors", sectorsJson(sectors));
            return refused(failure, found);
        }
    } catch (...) {
        return refused(UserFailure::fromCurrentException());
    }

    bool verified = true;
    QStringList differing;
    for (const auto& sector : sectors) {
        verified = verified && sector.matches();
        if (!sector.matches()) differing << QString::number(sector.sector);
    }
    if (record && verified) record->succeeded(0);
    if (record && !verified) {
        History::HistoryRecord::Failure differs;
        differs.text = "differs";
        differs.detail = "Sectors that differ from the file: " + differing.join(", ");
        record->failed(differs);
    }
    if (json) {
        QJsonObject result = subject;
        result.insert("sectors", sectorsJson(sectors));
        result.insert("verified", verified);
        JsonOutput::write(out, result);
    } else {
        out << (verified ? "verified" : "differs") << std::endl;
    }
    return verified ? Done : Failed;
}

void VerifyCommand::printSector(const FirmwareVerifier::SectorComparison& sector,
                                std::ostream& out) {
    if (sector.matches()) {
        out << boost::format("sector %d match") % sector.sector << std::endl;
    } else {
        out << boost::format("sector %d differs: table 0x%08x file 0x%08x") % sector.sector %
                   sector.tableSum % sector.fileSum
            << std::endl;
    }
}

QJsonArray VerifyCommand::sectorsJson(
    const std::vector<FirmwareVerifier::SectorComparison>& sectors) {
    QJsonArray array;
    for (const auto& sector : sectors) {
        array.append(QJsonObject{{"sector", sector.sector},
                                 {"match", sector.matches()},
                                 {"table_sum", JsonOutput::hex(sector.tableSum)},
                                 {"file_sum", JsonOutput::hex(sector.fileSum)}});
    }
    return array;
}

bool VerifyCommand::confirm(std::ostream& out) {
    out << UserMessage::windowText("Close any Orbi application", "MsgBox1 title").toStdString()
        << "\n"
        << UserMessage::windowText("Please close all applications that use the OrbiZo3 instrument.",
                                   "MsgBox1 text")
               .toStdString()
        << "\n[y/N] " << std::flush;
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

#pragma once

#include <QCommandLineOption>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <vector>

#include "cli/CliCommand.h"
#include "history/HistoryRecord.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// `history [--serial S] [--limit N] [--csv]`: the service records of the history file, newest
// first, as a table to read at a glance (date, kind, serial, versions before -> after, outcome,
// firmware, duration), as CSV (RFC 4180, every field) or with --json as one document
// {"history": FILE, "records": [...]}. The history's warnings go to standard error. Exit 0, also
// for an empty or missing history; 1 when the file cannot be read at all.
class HistoryCommand : public CliCommand {
public:
    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const Korvane::Utilities::RunSettings& settings,
            const QStringList& arguments, std::ostream& out, std::ostream& err) override;

    static QJsonObject recordJson(const History::HistoryRecord& record);
    static void printTable(const std::vector<History::HistoryRecord>& records, std::ostream& out);

private:
    static int usageError(const QString& problem, bool json, std::ostream& out, std::ostream& err);
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

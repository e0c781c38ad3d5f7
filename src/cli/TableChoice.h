#pragma once

#include <QCommandLineParser>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <ostream>

#include "utilities/RunSettings.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

class DeviceSelection;

// Which table a command that works on one table talks to:
// - with --device: the present table with that device path (letter case aside) or, failing
//   that, with that serial number; a value that names neither chooses no table, and
//   requireTable() says which one is missing;
// - without --device: the only table present, or none (empty path: "No OrbiZo3 connected");
//   with several present the command is refused, as it cannot know which one is meant.
// Serial numbers are read (each table opened briefly) only when they are needed: for a
// refusal, or for a --device value that is no present path.
class TableChoice {
public:
    struct Table {
        QString path;
        QString serialNumber;  // "-" when it cannot be read
    };

    TableChoice(const QCommandLineParser& parser, const DeviceSelection& selection);

    bool ambiguous() const { return !candidates.isEmpty(); }
    // Empty when no table is chosen.
    QString devicePath() const { return path; }

    // Throws the MessageException "No OrbiZo3 connected" when no table is chosen, its detail
    // naming the --device value that matched no present table. Never talks to a table.
    void requireTable() const;

    // The refusal of an ambiguous choice: text (a line per table: path, tab, serial number) on
    // `err`, or the JSON error document on `out`. Returns the usage exit code.
    int refuse(bool json, std::ostream& out, std::ostream& err) const;

    static QString serialNumberOf(const QString& devicePath,
                                  const Korvane::Utilities::RunSettings& settings);

private:
    QString path;
    QString missing;          // the --device value that named no present table
    int silent = 0;           // present tables whose serial number could not be read then
    QList<Table> candidates;  // set only when ambiguous
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

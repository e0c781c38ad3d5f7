#pragma once

#include "cli/CliCommand.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// `list`: one line per table present, "<device path>\t<serial number>\t<firmware version>"
// ("-" for a version word of 0, and for both values of a table that cannot be identified,
// whose failure then goes to standard error). "No OrbiZo3 connected" without any table.
// With --json one document: {"tables": [...]} (empty without any table). Always exits 0.
class ListCommand : public CliCommand {
public:
    QString name() const override;
    QString description() const override;
    void configure(QCommandLineParser& parser) const override;
    QString checkArguments(const QStringList& arguments) const override;
    int run(const QCommandLineParser& parser, const Korvane::Utilities::RunSettings& settings,
            const QStringList& arguments, std::ostream& out, std::ostream& err) override;

private:
    static int listJson(const QStringList& paths, const Korvane::Utilities::RunSettings& settings,
                        std::ostream& out);
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

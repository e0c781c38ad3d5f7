#include "cli/JsonOutput.h"

#include <QJsonDocument>
#include <QStringList>
#include <sstream>

#include "cli/DeviceSelection.h"
#include "cli/ExitCode.h"
#include "firmware/UserFailure.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

QCommandLineOption JsonOutput::option() {
    return QCommandLineOption("json", "Write the result as one JSON document on standard output.");
}

bool JsonOutput::requested(const QCommandLineParser& parser) {
    return parser.isSet("json");
}

void JsonOutput::write(std::ostream& out, const QJsonObject& document) {
    out << QJsonDocument(document).toJson(QJsonDocument::Compact).toStdString() << std::endl;
}

QJsonObject JsonOutput::error(std::int32_t code, const QString& message, const QString& detail,
                              const QJsonObject& extra) {
    QJsonObject document = extra;
    document.insert("error", QJsonObject{{"code", hex(static_cast<std::uint32_t>(code))},
                                         {"message", message},
                                         {"detail", detail}});
    return document;
}

QJsonObject JsonOutput::error(const UserFailure& failure, const QString& fallbackTitle,
                              const QJsonObject& extra) {
    QStringList parts;
    const QString title = failure.captionOr(fallbackTitle);
    if (!title.isEmpty()) parts << title;
    if (!failure.text.isEmpty()) parts << failure.text;
    return error(failure.code, parts.join(": "), failure.detail, extra);
}

int JsonOutput::refuseWithoutYes(const QString& command, std::ostream& out) {
    write(out,
          error(0, command + " --json needs --yes: its questions cannot be answered.", QString()));
    return UsageError;
}

bool JsonOutput::usable(const DeviceSelection& selection, bool json, std::ostream& out,
                        std::ostream& err) {
    if (!json) return selection.usable(err);
    std::ostringstream problem;
    if (selection.usable(problem)) return true;
    write(out, error(0, QString::fromStdString(problem.str()).trimmed(), QString()));
    return false;
}

QString JsonOutput::hex(std::uint32_t value, int digits) {
    return "0x" + QString::number(value, 16).rightJustified(digits, '0');
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

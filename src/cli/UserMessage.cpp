#include "cli/UserMessage.h"

#include <QCoreApplication>

#include "firmware/UserFailure.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

void UserMessage::print(std::ostream& err, const UserFailure& failure,
                        const QString& fallbackTitle) {
    print(err, failure.captionOr(fallbackTitle), failure.text, failure.detail);
}

void UserMessage::print(std::ostream& err, const QString& title, const QString& text,
                        const QString& detail) {
    if (!title.isEmpty()) err << title.toStdString() << "\n";
    if (!text.isEmpty()) err << text.toStdString() << "\n";
    if (!detail.isEmpty()) err << "[" << detail.toStdString() << "]\n";
    err << std::flush;
}

QString UserMessage::windowText(const char* text, const char* comment) {
    return QCoreApplication::translate("MainWindow", text, comment);
}

QString UserMessage::updateFailureTitle() {
    return windowText("Firmware update failed", "MsgBox title");
}

QString UserMessage::verifyFailureTitle() {
    return QStringLiteral("Firmware verification failed");
}

void UserMessage::warn(std::ostream& err, const QString& warning) {
    err << warning.toStdString() << std::endl;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

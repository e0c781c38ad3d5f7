#include "cli/UserMessage.h"

#include <QCoreApplication>

#include "utilities/MessageException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

void UserMessage::print(std::ostream& err, const MessageException& message,
                        const QString& fallbackTitle) {
    print(err, message.title.isEmpty() ? fallbackTitle : message.title, message.text,
          message.detail);
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

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

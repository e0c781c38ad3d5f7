#include "history/ProcessIdentity.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

ProcessIdentity ProcessIdentity::current() {
    return of(QCoreApplication::applicationPid());
}

ProcessIdentity ProcessIdentity::of(qint64 pid) {
    ProcessIdentity identity;
    identity.pid = pid;
    identity.startTicks = readStartTicks(pid);
    if (identity.startTicks >= 0) identity.bootId = readBootId();
    return identity;
}

bool ProcessIdentity::isRunning() const {
    if (pid <= 0) return false;
    const ProcessIdentity now = of(pid);
    if (now.startTicks < 0) return false;
    if (!bootId.isEmpty() && bootId != now.bootId) return false;
    return startTicks < 0 || startTicks == now.startTicks;
}

QString ProcessIdentity::readBootId() {
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLatin1(file.readAll()).trimmed();
}

qint64 ProcessIdentity::readStartTicks(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = file.readAll();
    // Field 2, the command name, is in parentheses and may itself hold spaces and parentheses:
    // the fields after its last ')' start with field 3.
    const int nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0) return -1;
    const QList<QByteArray> fields = stat.mid(nameEnd + 1).simplified().split(' ');
    constexpr int kStartTimeField = 22;
    constexpr int kFirstFieldAfterName = 3;
    const int at = kStartTimeField - kFirstFieldAfterName;
    if (fields.size() <= at) return -1;
    // A zombie (Z) or a dying process (X) has ended; only its parent has not yet collected it.
    if (fields.first() == "Z" || fields.first() == "X") return -1;
    bool ok = false;
    const qint64 ticks = fields.at(at).toLongLong(&ok);
    return ok ? ticks : -1;
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

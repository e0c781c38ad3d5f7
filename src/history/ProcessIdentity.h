#pragma once

#include <QString>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// What tells one process from every other, also across reboots and reused process ids: the
// pid, the boot's id (/proc/sys/kernel/random/boot_id) and the process's start time in clock
// ticks after boot (/proc/<pid>/stat, field 22). Where the system gives no /proc, bootId stays
// empty and startTicks -1.
class ProcessIdentity {
public:
    static ProcessIdentity current();
    // The identity of process `pid` now; bootId and startTicks empty when it does not exist.
    static ProcessIdentity of(qint64 pid);

    // Whether the process this identity names still runs: the same boot, a process with this
    // pid, started at the same tick. Parts left unknown (empty boot id, startTicks -1, as in
    // records of an earlier program) are not compared.
    bool isRunning() const;

    qint64 pid = 0;
    QString bootId;
    qint64 startTicks = -1;

private:
    static QString readBootId();
    static qint64 readStartTicks(qint64 pid);
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

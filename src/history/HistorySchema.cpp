#include "history/HistorySchema.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

namespace {

// Times are ISO 8601 text in UTC with milliseconds (they sort as text); version words, sums,
// codes and sizes are integers; 0/1 flags are integers. NULL is "not known".
QStringList firstSchema() {
    return {
        "CREATE TABLE record ("
        " id INTEGER PRIMARY KEY,"
        " kind TEXT NOT NULL,"
        " front_end TEXT NOT NULL,"
        " program_version TEXT NOT NULL,"
        " user_name TEXT,"
        " host_name TEXT,"
        " started_utc TEXT NOT NULL,"
        " ended_utc TEXT,"
        " duration_ms INTEGER,"
        " device_path TEXT,"
        " serial_number TEXT,"
        " version_before INTEGER,"
        " version_after INTEGER,"
        " simulated INTEGER NOT NULL,"
        " latency_timer_ms INTEGER,"
        " firmware_embedded INTEGER NOT NULL,"
        " firmware_version INTEGER,"
        " firmware_file_name TEXT,"
        " firmware_file_path TEXT,"
        " firmware_file_size INTEGER,"
        " firmware_sha256 TEXT,"
        " outcome TEXT NOT NULL,"
        " failure_code INTEGER,"
        " failure_caption TEXT,"
        " failure_text TEXT,"
        " failure_detail TEXT,"
        " failure_command TEXT,"
        " failure_sector INTEGER,"
        " pid INTEGER)",
        "CREATE TABLE sector ("
        " record_id INTEGER NOT NULL REFERENCES record(id),"
        " sector INTEGER NOT NULL,"
        " written INTEGER NOT NULL,"
        " sum INTEGER,"
        " PRIMARY KEY (record_id, sector)) WITHOUT ROWID",
        "CREATE INDEX record_serial ON record(serial_number)",
    };
}

QStringList processIdentityAndIndexes() {
    return {
        "ALTER TABLE record ADD COLUMN boot_id TEXT",
        "ALTER TABLE record ADD COLUMN process_start INTEGER",
        "ALTER TABLE record ADD COLUMN bench_id TEXT",
        "DROP INDEX record_serial",
        "CREATE INDEX record_serial_newest ON record(serial_number, started_utc DESC, id DESC)",
        "CREATE INDEX record_newest ON record(started_utc DESC, id DESC)",
    };
}

}  // namespace

QStringList HistorySchema::step(int version) {
    switch (version) {
        case 1:
            return firstSchema();
        case 2:
            return processIdentityAndIndexes();
        default:
            return {};
    }
}

const QStringList& HistorySchema::recordColumns() {
    static const QStringList columns{
        "id",
        "kind",
        "front_end",
        "program_version",
        "user_name",
        "host_name",
        "started_utc",
        "ended_utc",
        "duration_ms",
        "device_path",
        "serial_number",
        "version_before",
        "version_after",
        "simulated",
        "latency_timer_ms",
        "firmware_embedded",
        "firmware_version",
        "firmware_file_name",
        "firmware_file_path",
        "firmware_file_size",
        "firmware_sha256",
        "outcome",
        "failure_code",
        "failure_caption",
        "failure_text",
        "failure_detail",
        "failure_command",
        "failure_sector",
        "pid",
        "boot_id",
        "process_start",
        "bench_id",
    };
    return columns;
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

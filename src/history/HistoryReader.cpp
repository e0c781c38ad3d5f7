#include "history/HistoryReader.h"

#include <QDir>
#include <exception>
#include <memory>

#include "history/HistorySchema.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

HistoryReader::Result HistoryReader::read(const QString& path, const QString& serial, int limit,
                                          int busyTimeoutMs) {
    Result result;
    const QString prefix = QStringLiteral("Update history: ");
    try {
        HistoryDatabase database(path, HistoryDatabase::Access::Read, busyTimeoutMs);
        if (database.schemaVersion() > HistorySchema::CurrentVersion)
            result.warnings << prefix + QString(
                                            "%1 was written by a newer version of this program "
                                            "(schema %2; this one knows up to %3): it is shown as "
                                            "far as this program understands it.")
                                            .arg(QDir::toNativeSeparators(path))
                                            .arg(database.schemaVersion())
                                            .arg(HistorySchema::CurrentVersion);
        result.records = database.records(serial, limit);
        for (const QString& notice : database.notices()) result.warnings << prefix + notice;
    } catch (const std::exception& failure) {
        result.records.clear();
        result.readable = false;
        result.warnings << prefix + QString::fromUtf8(failure.what()) + '.';
    }
    return result;
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "history/ProcessIdentity.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// One service record: one update or verify of one table, from the moment the table was chosen
// to its end. Plain value; the history stores and reads it (HistoryDatabase).
class HistoryRecord {
public:
    enum class Kind { Update, Verify };
    enum class FrontEnd { Window, Cli };
    // Running: begun, not finished, its process alive. A running record whose process is gone
    // reads as Interrupted.
    enum class Outcome { Running, Succeeded, Failed, Cancelled, Interrupted };

    struct Firmware {
        bool embedded = true;
        std::uint16_t embeddedVersion = 0;  // version word of the compiled-in firmware
        QString fileName;                   // the rest describes a file; empty when embedded
        QString filePath;                   // absolute
        qint64 fileSize = -1;               // bytes; -1 unknown
        QString sha256;                     // 64 lower-case hex digits of the bytes written
    };

    struct Failure {
        std::int32_t code = 0;  // ErrorCodes.h; 0 when the failure has no device code
        QString caption;
        QString text;
        QString detail;
        QString command;  // the command that failed ("u9", ...); empty when unknown
        int sector = -1;  // the sector it worked on; -1 when none
    };

    // What one flash sector received. `sum` is the table's 32-bit byte sum over the sector,
    // present once the table confirmed it.
    struct Sector {
        int index = 0;
        bool written = false;
        std::optional<std::uint32_t> sum;
    };

    qint64 id = 0;  // given by the history when stored
    Kind kind = Kind::Update;
    FrontEnd frontEnd = FrontEnd::Cli;
    QString programVersion;
    QString user;
    QString host;
    QDateTime started;  // UTC, millisecond precision
    QDateTime ended;    // invalid while running or when interrupted
    qint64 durationMs = -1;
    QString devicePath;
    QString serialNumber;
    std::uint16_t versionBefore = 0;  // firmware version words; 0 none or unknown
    std::uint16_t versionAfter = 0;
    bool simulated = false;
    int latencyTimerMs =
        -1;  // the converter's latency timer in effect (as read back); -1 left alone
    Firmware firmware;
    QString benchId;  // the service bench run this record belongs to; empty outside one
    Outcome outcome = Outcome::Running;
    Failure failure;              // meaningful for Failed only
    std::vector<Sector> sectors;  // ascending index
    ProcessIdentity process;      // who wrote the record

    static QString text(Kind kind);
    static QString text(FrontEnd frontEnd);
    static QString text(Outcome outcome);
    // The inverse of text(); nullopt for a word this program does not know.
    static std::optional<Kind> kindFromText(const QString& text);
    static std::optional<FrontEnd> frontEndFromText(const QString& text);
    static std::optional<Outcome> outcomeFromText(const QString& text);

    // "1.09" for 0x0109, "-" for 0 (none or unknown).
    static QString versionText(std::uint16_t versionWord);
    // ISO 8601 in UTC with milliseconds: "2026-12-09T04:16:26.123Z"; empty for an invalid time.
    static QString timeText(const QDateTime& time);
    // The inverse of timeText(); invalid for anything else.
    static QDateTime timeFromText(const QString& text);
    // The current time, UTC, cut to whole milliseconds (what the history keeps).
    static QDateTime now();
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "history/HistoryRecord.h"

#include <QTimeZone>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

namespace {

// The stored words; the history's files hold them, so they never change.
const char* const kKindWords[] = {"update", "verify"};
const char* const kFrontEndWords[] = {"window", "cli"};
const char* const kOutcomeWords[] = {"running", "succeeded", "failed", "cancelled", "interrupted"};

template <typename Enum, std::size_t N>
std::optional<Enum> fromWord(const char* const (&words)[N], const QString& text) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text == QLatin1String(words[i])) return static_cast<Enum>(i);
    }
    return std::nullopt;
}

}  // namespace

QString HistoryRecord::text(Kind kind) {
    return QLatin1String(kKindWords[static_cast<int>(kind)]);
}

QString HistoryRecord::text(FrontEnd frontEnd) {
    return QLatin1String(kFrontEndWords[static_cast<int>(frontEnd)]);
}

QString HistoryRecord::text(Outcome outcome) {
    return QLatin1String(kOutcomeWords[static_cast<int>(outcome)]);
}

std::optional<HistoryRecord::Kind> HistoryRecord::kindFromText(const QString& text) {
    return fromWord<Kind>(kKindWords, text);
}

std::optional<HistoryRecord::FrontEnd> HistoryRecord::frontEndFromText(const QString& text) {
    return fromWord<FrontEnd>(kFrontEndWords, text);
}

std::optional<HistoryRecord::Outcome> HistoryRecord::outcomeFromText(const QString& text) {
    return fromWord<Outcome>(kOutcomeWords, text);
}

QString HistoryRecord::versionText(std::uint16_t versionWord) {
    if (versionWord == 0) return QStringLiteral("-");
    return QString("%1.%2")
        .arg(static_cast<unsigned>(versionWord >> 8))
        .arg(static_cast<unsigned>(versionWord & 0xFF), 2, 10, QChar('0'));
}

QString HistoryRecord::timeText(const QDateTime& time) {
    if (!time.isValid()) return QString();
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime HistoryRecord::timeFromText(const QString& text) {
    QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    if (!time.isValid()) return QDateTime();
    time.setTimeZone(QTimeZone::utc());
    return time;
}

QDateTime HistoryRecord::now() {
    return QDateTime::fromMSecsSinceEpoch(QDateTime::currentMSecsSinceEpoch(), QTimeZone::utc());
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

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

// By hand rather than QDateTime::fromString: reading a long history parses two times a record.
QDateTime HistoryRecord::timeFromText(const QString& text) {
    // yyyy-MM-ddTHH:mm:ss.zzzZ
    static const QString shape = QStringLiteral("dddd-dd-ddTdd:dd:dd.dddZ");
    if (text.size() != shape.size()) return QDateTime();
    for (int i = 0; i < shape.size(); ++i) {
        const bool digit = shape[i] == 'd';
        if (digit ? !text[i].isDigit() : text[i] != shape[i]) return QDateTime();
    }
    const auto number = [&text](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) value = value * 10 + text[i].digitValue();
        return value;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2), number(20, 3));
    if (!date.isValid() || !time.isValid()) return QDateTime();
    return QDateTime(date, time, QTimeZone::utc());
}

QDateTime HistoryRecord::now() {
    return QDateTime::fromMSecsSinceEpoch(QDateTime::currentMSecsSinceEpoch(), QTimeZone::utc());
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

#include "cli/BenchProgress.h"

#include <QJsonArray>
#include <algorithm>
#include <boost/format.hpp>

#include "cli/JsonOutput.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

namespace {

constexpr int kBenchBarWidth = 20;

std::string benchMinutes(double seconds) {
    const long long whole = static_cast<long long>(seconds);
    return (boost::format("%d:%02d") % (whole / 60) % (whole % 60)).str();
}

// "1.07 -> 1.09" once known.
std::string versions(const BenchTable& table) {
    return (table.versionBefore + " -> " + table.versionAfter).toStdString();
}

}  // namespace

BenchProgress::BenchProgress(std::ostream& out, std::ostream& err, Mode mode,
                             const std::vector<BenchTable>& tables)
    : out(out), err(err), mode(mode), tables(tables) {}

void BenchProgress::begin(const QString& benchId, const QString& command) {
    if (mode == Mode::Json) {
        QJsonArray list;
        for (const BenchTable& table : tables)
            list.append(
                QJsonObject{{"serial_number", table.serialNumber}, {"device", table.devicePath}});
        JsonOutput::write(
            out,
            QJsonObject{
                {"event", "bench"}, {"bench_id", benchId}, {"command", command}, {"tables", list}});
        return;
    }
    out << "Service bench " << benchId.toStdString() << ": " << command.toStdString() << " of "
        << tables.size() << (tables.size() == 1 ? " table" : " tables") << std::endl;
    if (mode == Mode::Terminal) draw();
}

void BenchProgress::event(const BenchTable& table, QJsonObject event, double seconds) {
    if (mode == Mode::Json) {
        event.insert("serial_number", table.serialNumber);
        event.insert("device", table.devicePath);
        event.insert("seconds", static_cast<double>(static_cast<long long>(seconds * 1000)) / 1000);
        JsonOutput::write(out, event);
        return;
    }
    if (mode == Mode::Terminal) {
        draw();
        return;
    }
    const std::string serial = table.serialNumber.toStdString() + ": ";
    const QString kind = event["event"].toString();
    if (kind == "started") {
        out << serial << "started" << std::endl;
    } else if (kind == "identified") {
        out << serial << "firmware " << table.versionBefore.toStdString() << std::endl;
    } else if (kind == "progress") {
        out << serial << table.percent << "%";
        if (table.sector >= 0) out << " sector " << table.sector;
        out << std::endl;
    } else if (kind == "warning") {
        out << serial << event["message"].toString().toStdString() << std::endl;
    } else if (kind == "finished") {
        out << serial << table.outcome.toStdString();
        if (table.succeeded()) out << " (" << versions(table) << ")";
        if (!table.message.isEmpty()) out << ": " << table.message.toStdString();
        out << std::endl;
    }
}

void BenchProgress::interrupted(int step, const QString& text, double seconds) {
    if (mode == Mode::Json) {
        JsonOutput::write(
            out,
            QJsonObject{
                {"event", "interrupt"}, {"step", step}, {"message", text}, {"seconds", seconds}});
        return;
    }
    if (mode == Mode::Terminal) finish();
    err << text.toStdString() << std::endl;
    if (mode == Mode::Terminal) draw();
}

void BenchProgress::tick() {
    if (mode == Mode::Terminal) draw();
}

void BenchProgress::finish() {
    drawn = false;
}

std::string BenchProgress::line(const BenchTable& table, BenchTable::Clock::time_point now) {
    const std::string serial = (boost::format("%-12s") % table.serialNumber.toStdString()).str();
    if (table.done()) {
        std::string text = serial + table.outcome.toStdString();
        if (table.succeeded()) text += " " + versions(table);
        if (!table.message.isEmpty()) text += ": " + table.message.toStdString();
        return text;
    }
    const int shown = std::clamp(table.percent, 0, 100);
    const int filled = shown * kBenchBarWidth / 100;
    std::string left = "-:--";
    // Extrapolated from the progress since the first sector: connecting is not typical.
    if (table.firstSector && shown > 15) {
        const double since = std::chrono::duration<double>(now - *table.firstSector).count();
        left = benchMinutes(since * (100 - shown) / (shown - 15));
    }
    std::string sector = table.sector >= 0 ? (boost::format("sector %2d") % table.sector).str()
                                           : std::string("         ");
    return (boost::format("%s[%s%s] %3d%%  %s  %s left") % serial % std::string(filled, '#') %
            std::string(kBenchBarWidth - filled, '.') % shown % sector % left)
        .str();
}

// The block of one line per table; a block already drawn is overwritten in place.
void BenchProgress::draw() {
    if (drawn) out << "\x1b[" << tables.size() << "A";
    const auto now = BenchTable::Clock::now();
    for (const BenchTable& table : tables) out << "\r\x1b[K" << line(table, now) << "\n";
    out << std::flush;
    drawn = true;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane

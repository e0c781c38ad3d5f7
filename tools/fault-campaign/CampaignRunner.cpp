#include "CampaignRunner.h"

#include <QByteArray>
#include <QObject>
#include <cstdlib>
#include <exception>
#include <future>
#include <memory>
#include <thread>

#include "EmbeddedFirmwareGenerator.h"
#include "firmware/FlashSectorImage.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/KorvaneException.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZo3UsbIds.h"
#include "utilities/RunSettings.h"
#include "utilities/VirtualClock.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;

namespace Korvane {
namespace Tools {

namespace {

using Clock = std::chrono::steady_clock;
using Simulator::SimulatedTable;
using Simulator::WireRecord;

constexpr std::uint16_t kEmbeddedVersion = DeviceDriver::OrbiZo::Firmware::kEmbeddedFirmwareVersion;
constexpr std::uint32_t kSectorSize = 8192;

struct UpdateResult {
    bool reported = false;  // false: still running at the deadline
    bool succeeded = false;
    bool crashed = false;  // an exception of no known kind
    bool disconnect = false;
    std::string report;
    Clock::time_point reportedAt;
};

const std::string& firmwareText() {
    static const std::string text =
        DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator::fileText();
    return text;
}

// The sectors the embedded firmware fills, as the table must hold them after an update.
const std::vector<std::pair<int, std::vector<std::uint8_t>>>& expectedSectors() {
    static const auto sectors = [] {
        DeviceDriver::OrbiZo::Firmware::FlashSectorImage image;
        image.load(std::vector<std::uint8_t>(firmwareText().begin(), firmwareText().end()));
        std::vector<std::pair<int, std::vector<std::uint8_t>>> list;
        for (std::size_t s = 0; s < image.sectorCount(); ++s) {
            std::uint32_t start = 0;
            if (!image.hasSectorData(s, start)) continue;
            std::vector<std::uint8_t> bytes(kSectorSize);
            image.copySector(s, start, bytes.data(), kSectorSize);
            list.emplace_back(static_cast<int>(s), bytes);
        }
        return list;
    }();
    return sectors;
}

// Programmed, verified and running the new firmware.
bool holdsNewFirmware(const SimulatedTable& table) {
    const std::vector<std::uint8_t> flash = table.flashContents();
    for (const auto& sector : expectedSectors()) {
        if (!std::equal(sector.second.begin(), sector.second.end(),
                        flash.begin() + sector.first * kSectorSize))
            return false;
    }
    return !table.inBootloader() && table.firmwareVersion() == kEmbeddedVersion;
}

QString pathOf(const std::string& serial) {
    using DeviceDriver::OrbiZo::kOrbiZo3ProductId;
    using DeviceDriver::OrbiZo::kOrbiZo3VendorId;
    for (const std::string& p :
         DeviceDriver::OrbiZo::USB::findDevicePaths(kOrbiZo3VendorId, kOrbiZo3ProductId)) {
        if (p.find("#" + serial + "#") != std::string::npos) return QString::fromStdString(p);
    }
    return QString();
}

// One update on its own thread, so that one that never ends can be told from one that fails.
std::shared_ptr<std::future<UpdateResult>> startUpdate(const QString& path,
                                                       std::shared_ptr<SimulatedTable> table,
                                                       const Scenario& scenario,
                                                       const Utilities::RunSettings& settings) {
    auto task =
        std::make_shared<std::packaged_task<UpdateResult()>>([path, table, scenario, settings] {
            UpdateResult result;
            OrbiZo3FWUpdater updater(nullptr, settings);
            updater.setDevicePath(path);
            updater.setFirmwareData(QByteArray::fromStdString(firmwareText()));
            const int total = 1100 + 10 * 4250;
            if (scenario.atSector) {
                QObject::connect(&updater, &OrbiZo3FWUpdater::ProgressEvent, [&](int current, int) {
                    // The sector index is not in the signal; count the sectors done.
                    const int done = (total - current) / 4250;
                    if (done == scenario.sector - 4) scenario.atSector(*table);
                });
            }
            try {
                result.succeeded = updater.downloadFirmware();
                result.report = "success";
            } catch (const MessageException& e) {
                result.disconnect = e.title == "OrbiZo3 disconnected";
                result.report = (e.title + ": " + e.detail).toStdString();
            } catch (const Utilities::KorvaneException& e) {
                result.report = e.describe();
            } catch (const std::exception& e) {
                result.crashed = true;
                result.report = std::string("unexpected exception: ") + e.what();
            } catch (...) {
                result.crashed = true;
                result.report = "unexpected exception";
            }
            result.reported = true;
            result.reportedAt = Clock::now();
            return result;
        });
    auto future = std::make_shared<std::future<UpdateResult>>(task->get_future());
    std::thread([task] { (*task)(); }).detach();
    return future;
}

UpdateResult update(const QString& path, const std::shared_ptr<SimulatedTable>& table,
                    const Scenario& scenario, const Utilities::RunSettings& settings,
                    std::chrono::seconds hangAfter) {
    auto future = startUpdate(path, table, scenario, settings);
    if (future->wait_for(hangAfter) != std::future_status::ready) return UpdateResult();
    return future->get();
}

// When the host last wrote to the table, by the table's transcript (cleared at `start`).
Clock::time_point lastSent(const SimulatedTable& table, Clock::time_point start) {
    double seconds = 0;
    for (const WireRecord& record : table.transcript()) {
        if (record.direction == WireRecord::Direction::ToTable) seconds = record.seconds;
    }
    return start +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

CampaignRunner::CampaignRunner(bool timing, std::chrono::seconds hangAfter, bool transcripts)
    : timing(timing), hangAfter(hangAfter), transcripts(transcripts) {}

Outcome CampaignRunner::run(const Scenario& scenario, const std::string& serialNumber) const {
    Outcome outcome;
    auto table = SimulatedTable::create(serialNumber);
    table->enableTiming(timing);
    // Without its timing model the table moves a clock of its own scenario, so that tables
    // of parallel scenarios do not cut each other's time-outs short.
    Utilities::RunSettings settings;
    if (!timing) {
        auto clock = std::make_shared<Utilities::VirtualClock>();
        table->driveClock(clock);
        settings.setClock(clock);
    }
    table->plug();
    const QString path = pathOf(serialNumber);
    if (scenario.arm) scenario.arm(*table);

    const Clock::time_point start = Clock::now();
    table->clearTranscript();
    const UpdateResult first = update(path, table, scenario, settings, hangAfter);
    outcome.report = first.report;
    if (!first.reported) {
        outcome.verdict = Outcome::Verdict::Hang;
        outcome.report = "no report";
        return outcome;  // the table stays with the update that never ended
    }
    // A table that left cannot confirm anything; only one still there can be wronged.
    const bool gone = pathOf(serialNumber).isEmpty();
    const bool holdsNew = holdsNewFirmware(*table);
    if (first.crashed) {
        outcome.verdict = Outcome::Verdict::Crash;
    } else if (first.succeeded) {
        outcome.verdict = holdsNew ? Outcome::Verdict::Success : Outcome::Verdict::FalseSuccess;
    } else {
        outcome.verdict =
            holdsNew && !gone ? Outcome::Verdict::FalseFailure : Outcome::Verdict::Failure;
        outcome.timeToReport = std::chrono::duration_cast<std::chrono::milliseconds>(
            first.reportedAt - lastSent(*table, start));
        outcome.disconnectMisreported = (scenario.tableLeaves && gone && !first.disconnect) ||
                                        (scenario.tableStays && first.disconnect);
    }

    // The second update: no faults, the table plugged in (again).
    table->clearFaults();
    table->plug();
    const Scenario clean;
    table->clearTranscript();
    const UpdateResult second = update(pathOf(serialNumber), table, clean, settings, hangAfter);
    outcome.unrecovered = !second.reported || !second.succeeded || !holdsNewFirmware(*table);
    if (outcome.unrecovered) {
        outcome.report += " / second update: " + second.report;
        if (transcripts) outcome.report += "\n" + table->transcriptText();
    }
    table->unplug();
    return outcome;
}

const char* verdictText(Outcome::Verdict verdict) {
    switch (verdict) {
        case Outcome::Verdict::Success:
            return "success";
        case Outcome::Verdict::Failure:
            return "failure";
        case Outcome::Verdict::FalseSuccess:
            return "false success";
        case Outcome::Verdict::FalseFailure:
            return "false failure";
        case Outcome::Verdict::Hang:
            return "hang";
        case Outcome::Verdict::Crash:
            return "crash";
    }
    return "?";
}

}  // namespace Tools
}  // namespace Korvane

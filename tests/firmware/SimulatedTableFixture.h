#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>

#include "EmbeddedFirmwareGenerator.h"
#include "HexRecord.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatedTable.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Testing {

// One simulated table on the simulated bus (timing model off) and a facade that selects it.
// The table moves the facade's virtual clock as it answers, so time-outs run their length in
// that clock's time at once. The helpers read what the host sent from the table's wire
// transcript.
class SimulatedTableFixture : public ::testing::Test {
protected:
    static constexpr std::uint32_t kSectorSize = 8192;

    void SetUp() override {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        static int count = 0;
        table = Simulator::SimulatedTable::create("ENGINE" + std::to_string(++count));
        table->driveClock(clock);
        table->plug();
        path = pathOf(table->serialNumber());
        ASSERT_FALSE(path.isEmpty());
        updater.setDevicePath(path);
    }

    void TearDown() override { Platform::SimulatedUsbBus::instance().unplugAll(); }

    static QString pathOf(const std::string& serial) {
        using DeviceDriver::OrbiZo::kOrbiZo3ProductId;
        using DeviceDriver::OrbiZo::kOrbiZo3VendorId;
        for (const std::string& p :
             DeviceDriver::OrbiZo::USB::findDevicePaths(kOrbiZo3VendorId, kOrbiZo3ProductId)) {
            if (p.find("#" + serial + "#") != std::string::npos) return QString::fromStdString(p);
        }
        return QString();
    }

    // Command lines the table received since the transcript was last cleared, without ";",
    // checksum and CR: "a1", "r", "o0", "u244", ...
    std::vector<std::string> commands() const {
        std::string sent;
        for (const auto& record : table->transcript()) {
            if (record.direction == Simulator::WireRecord::Direction::ToTable) sent += record.bytes;
        }
        std::vector<std::string> lines;
        std::size_t begin = 0;
        for (std::size_t end; (end = sent.find('\r', begin)) != std::string::npos;
             begin = end + 1) {
            const std::string line = sent.substr(begin, end - begin);
            if (line.size() >= 3 && line[0] == ';')
                lines.push_back(line.substr(1, line.size() - 3));
        }
        return lines;
    }

    // Sectors erased (u2), in the order sent.
    std::vector<int> erasedSectors() const {
        std::vector<int> sectors;
        for (const std::string& c : commands()) {
            if (c.compare(0, 2, "u2") == 0)
                sectors.push_back(std::stoi(c.substr(2, 1), nullptr, 16));
        }
        return sectors;
    }

    // Lock blocks unlocked (uA with the block's id), in the order sent.
    std::vector<int> unlockedBlocks() const {
        static const std::map<std::string, int> blockOfId = {
            {"508214", 0}, {"663097", 1}, {"240815", 2}};
        std::vector<int> blocks;
        for (const std::string& c : commands()) {
            if (c.compare(0, 2, "uA") == 0) {
                const auto it = blockOfId.find(c.substr(2));
                blocks.push_back(it == blockOfId.end() ? -1 : it->second);
            }
        }
        return blocks;
    }

    std::vector<std::uint8_t> flashSector(int sector) const {
        const auto flash = table->flashContents();
        return std::vector<std::uint8_t>(flash.begin() + sector * kSectorSize,
                                         flash.begin() + (sector + 1) * kSectorSize);
    }

    static QByteArray embeddedFirmware() {
        return QByteArray::fromStdString(
            DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator::fileText());
    }

    // A file whose data are `bytes` counting bytes from the start of each sector (below 64 KiB),
    // padded with empty lines to at least `minimumSize` bytes.
    static QByteArray firmwareFor(const std::vector<int>& sectors, std::size_t bytes = 1024,
                                  std::size_t minimumSize = 10001) {
        std::string text = upperAddressRecord(0) + "\r\n";
        for (int sector : sectors) {
            for (std::size_t offset = 0; offset < bytes; offset += 16) {
                const auto address = static_cast<std::uint16_t>(sector * kSectorSize + offset);
                text += dataRecord(address, byteRun(16, static_cast<std::uint8_t>(offset / 16))) +
                        "\r\n";
            }
        }
        text += ":00000001FF\r\n";
        if (text.size() < minimumSize) text.append(minimumSize - text.size(), '\n');
        return QByteArray::fromStdString(text);
    }

    // Settings whose answer time-outs read `clock`.
    static Utilities::RunSettings settingsWith(std::shared_ptr<Utilities::MonotonicClock> clock) {
        Utilities::RunSettings settings;
        settings.setClock(std::move(clock));
        return settings;
    }

    std::shared_ptr<Utilities::VirtualClock> clock = std::make_shared<Utilities::VirtualClock>();
    std::shared_ptr<Simulator::SimulatedTable> table;
    QString path;
    DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater updater{nullptr, settingsWith(clock)};
};

}  // namespace Testing
}  // namespace Korvane

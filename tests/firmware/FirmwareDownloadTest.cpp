#include <QObject>
#include <algorithm>
#include <utility>
#include <vector>

#include "SimulatedTableFixture.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FirmwareHandle.h"
#include "simulator/Fault.h"
#include "utilities/ErrorCodes.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZoException.h"

using Korvane::DeviceDriver::OrbiZo::OrbiZoException;
using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceConnection;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FirmwareHandle;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;
using Korvane::Simulator::Fault;
using Korvane::Testing::SimulatedTableFixture;

namespace {

constexpr int kFixedUnits = 1100;
constexpr int kSectorUnits = 4250;

class FirmwareDownload : public SimulatedTableFixture {
protected:
    void SetUp() override {
        SimulatedTableFixture::SetUp();
        QObject::connect(&updater, &OrbiZo3FWUpdater::ProgressEvent,
                         [this](int current, int total) { progress.emplace_back(current, total); });
        table->clearTranscript();
    }

    // Runs the download and returns what the firmware handle threw.
    OrbiZoException refusal(const QByteArray& firmware) {
        updater.setFirmwareData(firmware);
        try {
            updater.downloadFirmware();
            ADD_FAILURE() << "the download did not fail";
        } catch (const OrbiZoException& e) {
            return e;
        } catch (const MessageException& e) {
            ADD_FAILURE() << e.text.toStdString();
        }
        return OrbiZoException(0, "");
    }

    std::uint16_t versionReadBack() {
        DeviceConnection connection(path);
        return OrbiZo3FWUpdater::readDeviceInfo(connection).firmwareVersion();
    }

    std::vector<std::pair<int, int>> progress;
};

TEST_F(FirmwareDownload, EmbeddedFirmwareProgramsSectorsFourToThirteen) {
    updater.setFirmwareData(embeddedFirmware());
    ASSERT_TRUE(updater.downloadFirmware());

    EXPECT_EQ(erasedSectors(), (std::vector<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(unlockedBlocks(), std::vector<int>{0});
    const std::vector<std::string> sent = commands();
    ASSERT_GE(sent.size(), 4u);
    // Connection (version), restart, boot break, then the unlock; restart and status at the end.
    EXPECT_EQ((std::vector<std::string>(sent.begin(), sent.begin() + 3)),
              (std::vector<std::string>{"a1", "r", "o0"}));
    EXPECT_EQ((std::vector<std::string>(sent.end() - 2, sent.end())),
              (std::vector<std::string>{"r", "a0"}));
    EXPECT_FALSE(table->inBootloader());
    EXPECT_EQ(versionReadBack(), 0x0109);

    const int total = kFixedUnits + 10 * kSectorUnits;
    std::vector<std::pair<int, int>> expected;
    for (int index = 0; index < 15; ++index) {
        const int done = std::clamp(index - 4, 0, 10);
        expected.emplace_back(total - done * kSectorUnits, total);
    }
    EXPECT_EQ(progress, expected);
}

TEST_F(FirmwareDownload, PartialSectorIsWrittenInFullWithErasedFill) {
    updater.setFirmwareData(firmwareFor({1}, 1024));
    ASSERT_TRUE(updater.downloadFirmware());

    EXPECT_EQ(erasedSectors(), std::vector<int>{1});
    EXPECT_EQ(unlockedBlocks(), std::vector<int>{2});
    const std::vector<std::uint8_t> sector = flashSector(1);
    for (std::size_t i = 0; i < sector.size(); ++i) {
        const std::uint8_t expected = i < 1024 ? static_cast<std::uint8_t>(i / 16 + i % 16) : 0xFF;
        ASSERT_EQ(sector[i], expected) << "offset " << i;
    }
    EXPECT_EQ(progress.front(),
              std::make_pair(kFixedUnits + kSectorUnits, kFixedUnits + kSectorUnits));
    EXPECT_EQ(progress.back(), std::make_pair(kFixedUnits, kFixedUnits + kSectorUnits));
    // The application in sectors 4 to 13 was left alone and starts again.
    EXPECT_EQ(versionReadBack(), 0x0107);
}

TEST_F(FirmwareDownload, SectorsOneAndFourUnlockBlockTwoBeforeBlockZero) {
    const QByteArray sectorOne = firmwareFor({1}, 512, 0);
    updater.setFirmwareData(sectorOne.left(sectorOne.indexOf(":00000001FF")) + embeddedFirmware());
    ASSERT_TRUE(updater.downloadFirmware());

    EXPECT_EQ(unlockedBlocks(), (std::vector<int>{2, 0}));
    EXPECT_EQ(erasedSectors(), (std::vector<int>{1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(versionReadBack(), 0x0109);
}

// Data anywhere in sectors 4-14 needs block 0, not only data in sector 4. Sector 5 gets the
// bytes it already holds after the embedded firmware, so that the application still starts.
TEST_F(FirmwareDownload, SectorsOfBlockZeroProgramAndVerifyAlone) {
    updater.setFirmwareData(embeddedFirmware());
    ASSERT_TRUE(updater.downloadFirmware());
    QByteArray sector5 = QByteArray::fromStdString(upperAddressRecord(0) + "\r\n");
    // The first 64 KiB of the embedded firmware come before its upper address record 0x0001.
    const QByteArray embedded = embeddedFirmware();
    for (const QByteArray& line : embedded.left(embedded.indexOf(":020000040001")).split('\n')) {
        if (line.startsWith(":10A") || line.startsWith(":10B")) sector5 += line + "\n";
    }
    sector5 += ":00000001FF\r\n";

    // Sector 14 lies beyond 64 KiB, where firmwareFor does not reach.
    const std::string sector14 = upperAddressRecord(1) + "\n" + dataRecord(0xC000, byteRun(16)) +
                                 "\n" + dataRecord(0xC010, byteRun(16, 1)) + "\n:00000001FF\n" +
                                 std::string(10000, '\n');
    const struct {
        QByteArray file;
        std::vector<int> sectors;
        std::vector<int> unlocked;
    } cases[] = {
        {sector5, {5}, {0}},
        {QByteArray::fromStdString(sector14), {14}, {0}},
        {QByteArray::fromStdString(dataRecord(0x2000, {1}) + "\n" + sector14), {1, 14}, {2, 0}},
    };
    for (const auto& c : cases) {
        table->clearTranscript();
        updater.setFirmwareData(c.file);
        SCOPED_TRACE(c.sectors.back());
        bool completed = false;
        EXPECT_NO_THROW(completed = updater.downloadFirmware());
        EXPECT_TRUE(completed);
        EXPECT_EQ(unlockedBlocks(), c.unlocked) << c.sectors.back();
        EXPECT_EQ(erasedSectors(), c.sectors);
        EXPECT_EQ(versionReadBack(), 0x0109);
    }
    EXPECT_EQ(flashSector(14)[16], 1);
}

// Whatever the reason, a refused file sends nothing at all: no control request, no command.
TEST_F(FirmwareDownload, RefusedFilesNeverReachTheTable) {
    const QByteArray embedded = embeddedFirmware();
    const QByteArray sector5 = firmwareFor({5});
    const std::string first = dataRecord(0xA000, byteRun(16, 0));
    const std::string second = dataRecord(0xA010, byteRun(16, 1));
    const struct {
        QByteArray file;
        std::int32_t code;
        std::string message;
    } cases[] = {
        {firmwareFor({0, 5}), 0x0A003081, "Firmware contains sector 0."},
        {firmwareFor({2, 5}), 0x0A003081, "Firmware contains configuration sectors."},
        {firmwareFor({3, 5}), 0x0A003081, "Firmware contains configuration sectors."},
        {firmwareFor({}), 0x0A003081, "Firmware contains no sectors."},
        {embedded.left(embedded.lastIndexOf(":00000001FF")), 0x0A003085,
         "Table firmware file format error: end of file record missing"},
        {QByteArray(sector5).replace(first + "\r\n" + second, first + second) + "\n\n", 0x0A003085,
         "Table firmware file format error: end of line expected in '" + first + second + "'"},
        {sector5 + QByteArray::fromStdString(upperAddressRecord(0) + "\n" +
                                             dataRecord(0xA000, {9}) + "\n"),
         0x0A003086, "Sensor firmware file format error: overlapping records at 0x0a000"},
    };
    for (const auto& c : cases) {
        const OrbiZoException e = refusal(c.file);
        EXPECT_EQ(e.code, c.code) << c.message;
        EXPECT_EQ(e.what(), c.message);
        EXPECT_TRUE(table->transcript().empty()) << c.message;
        EXPECT_TRUE(progress.empty());
    }
}

TEST_F(FirmwareDownload, FirmwareMustBeLongerThanTenThousandBytes) {
    const QByteArray accepted = firmwareFor({1}, 16, 10001);
    ASSERT_EQ(accepted.size(), 10001);

    updater.setNewFirmwareVersion(0x0109);
    updater.setFirmwareData(accepted.left(10000));
    try {
        updater.downloadFirmware();
        ADD_FAILURE() << "10000 bytes were accepted";
    } catch (const MessageException& e) {
        EXPECT_EQ(e.title, "");
        EXPECT_EQ(e.text, "No valid firmware (10000)");
        EXPECT_EQ(e.detail, "");
    }
    EXPECT_EQ(updater.newFirmwareVersion(), 0);
    EXPECT_TRUE(table->transcript().empty());  // refused without opening the table

    updater.setFirmwareData(accepted);
    EXPECT_TRUE(updater.downloadFirmware());
}

TEST_F(FirmwareDownload, ChecksumMismatchStopsAtItsSector) {
    // The table acknowledges the first copy into sector 5 without doing it (sector 4 takes 16).
    table->inject(Fault::deviceError("u1", 0, 17));
    const OrbiZoException e = refusal(embeddedFirmware());

    EXPECT_EQ(e.code, 0x0A003083);
    EXPECT_STREQ(e.what(), "Checksum error in sector 5.");
    EXPECT_EQ(erasedSectors(), (std::vector<int>{4, 5}));
    EXPECT_EQ(progress.size(), 6u);  // the report before sector 5 was the last
    EXPECT_TRUE(table->inBootloader());
}

TEST_F(FirmwareDownload, BlankCheckFailureNamesItsSector) {
    // The erase of sector 5 is acknowledged but not done: the old application is still there.
    table->inject(Fault::deviceError("u2", 0, 2));
    const OrbiZoException e = refusal(embeddedFirmware());

    EXPECT_EQ(e.code, 0x0A003082);
    EXPECT_STREQ(e.what(), "Blankcheck failed in sector 5.");
    const std::vector<std::string> sent = commands();
    EXPECT_EQ(sent.back().substr(0, 2), "u3");  // nothing follows the failed blank check
}

TEST_F(FirmwareDownload, TableNotInStandbyAfterTheFinalRestart) {
    // Data in sector 4 without an application header: the table stays in its bootloader.
    const OrbiZoException e = refusal(firmwareFor({4}));
    EXPECT_EQ(e.code, 0x0A003084);
    EXPECT_STREQ(e.what(), "Device not in standby mode");
    EXPECT_EQ(e.where, "a0; all sectors were verified, the restart was not confirmed");
    EXPECT_EQ(erasedSectors(), std::vector<int>{4});
    const std::vector<std::string> sent = commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "r"), 4);  // into the bootloader, 3 restarts
}

struct LocatedFailure {
    const char* name;
    std::vector<Fault> faults;
    const char* message;
    const char* where;
};

TEST_F(FirmwareDownload, FailuresNameTheirCommandAndSector) {
    const LocatedFailure cases[] = {
        {"checksum",
         {Fault::deviceError("u1", 0, 17)},
         "Checksum error in sector 5.",
         "u7 in sector 5"},
        {"blank check",
         {Fault::deviceError("u2", 0, 2)},
         "Blankcheck failed in sector 5.",
         "u3 in sector 5"},
        {"device error",
         {Fault::deviceError("u2", 7)},
         "Can't erase sector: sector locked (7)",
         "u2 in sector 4"},
        // Both tries of the first RAM write of sector 8 go unanswered.
        {"RAM write",
         {Fault::drop("u9", 129), Fault::drop("u9", 130)},
         "Unknown acknowledge",
         "u9 in sector 8"},
        {"boot break", {Fault::nak("o0")}, "Invalid command (NAK)", "o0"},
    };
    for (const LocatedFailure& c : cases) {
        SCOPED_TRACE(c.name);
        table->clearFaults();
        for (const Fault& fault : c.faults) table->inject(fault);
        const OrbiZoException e = refusal(embeddedFirmware());
        EXPECT_STREQ(e.what(), c.message);
        EXPECT_EQ(e.where, c.where);
    }
}

TEST_F(FirmwareDownload, LostAnswersAfterTheLastSectorDoNotFailAProgrammedTable) {
    const std::vector<Fault> cases[] = {
        {Fault::drop("r", 2)},
        {Fault::wrongChecksum("a0")},
        {Fault::drop("r", 2), Fault::drop("r", 3)},
    };
    for (const std::vector<Fault>& faults : cases) {
        table->clearFaults();
        for (const Fault& fault : faults) table->inject(fault);
        updater.setFirmwareData(embeddedFirmware());
        EXPECT_TRUE(updater.downloadFirmware());
        EXPECT_EQ(table->firmwareVersion(), 0x0109);
    }

    // Silent at every try: reported, but as a table whose sectors were all verified.
    table->clearFaults();
    table->inject(Fault::drop("r", 2));
    table->inject(Fault::drop("r", 3));
    table->inject(Fault::drop("r", 4));
    const OrbiZoException e = refusal(embeddedFirmware());
    EXPECT_STREQ(e.what(), "Unknown acknowledge");
    EXPECT_EQ(e.where, "r; all sectors were verified, the restart was not confirmed");
}

// A converter that refuses the latency timer, or takes it and keeps its own, updates at its
// own 16 ms, and the connection knows it runs at 16 ms.
TEST_F(FirmwareDownload, TableThatRefusesOrIgnoresTheLatencyTimerIsStillUpdated) {
    for (auto behaviour : {&Korvane::Simulator::SimulatedTable::refuseLatencyTimer,
                           &Korvane::Simulator::SimulatedTable::ignoreLatencyTimer}) {
        table->clearFaults();
        ((*table).*behaviour)(true);
        table->clearTranscript();
        updater.setFirmwareData(embeddedFirmware());
        ASSERT_TRUE(updater.downloadFirmware());
        EXPECT_EQ(erasedSectors(), (std::vector<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
        EXPECT_EQ(versionReadBack(), 0x0109);
        DeviceConnection connection(path, updater.settings());
        EXPECT_EQ(OrbiZo3FWUpdater::readDeviceInfo(connection).latencyTimerMs, 16);
    }
}

TEST_F(FirmwareDownload, RefusedRamWriteIsTriedAgainAndFailsOnlyAsAWriteFailure) {
    // Once: the RAM write's second try saves the update.
    table->refuseWrites("u9", 1);
    updater.setFirmwareData(embeddedFirmware());
    ASSERT_TRUE(updater.downloadFirmware());
    EXPECT_EQ(versionReadBack(), 0x0109);

    // At every try: a write failure at its command and sector, not a disconnect.
    table->refuseWrites("u9", -1);
    const OrbiZoException e = refusal(embeddedFirmware());
    EXPECT_EQ(e.code, Korvane::DeviceDriver::OrbiZo::ErrorCode::WriteFailed);
    EXPECT_STREQ(e.what(), "Write to device failed");
    EXPECT_EQ(e.where.rfind("u9", 0), 0u) << e.where;
}

TEST_F(FirmwareDownload, UnplugInTheMiddleOfASectorFailsOnceAndALaterUpdateRecovers) {
    table->powerLossInSector(6);
    updater.setFirmwareData(embeddedFirmware());
    int failures = 0;
    bool completed = false;
    try {
        completed = updater.downloadFirmware();
    } catch (const MessageException& e) {
        ++failures;
        // Reported as the disconnect it is, at the command and sector it hit.
        EXPECT_EQ(e.title, "OrbiZo3 disconnected");
        EXPECT_TRUE(e.detail.startsWith("Connection to device lost (0xa002001), u"))
            << e.detail.toStdString();
        EXPECT_TRUE(e.detail.endsWith(" in sector 6")) << e.detail.toStdString();
    }
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(completed);
    EXPECT_EQ(updater.newFirmwareVersion(), 0);

    // Plugged in again, the table starts in its bootloader and is still identifiable.
    table->plug();
    ASSERT_EQ(pathOf(table->serialNumber()), path);
    EXPECT_TRUE(table->inBootloader());
    EXPECT_EQ(versionReadBack(), 0);
    progress.clear();
    EXPECT_TRUE(updater.downloadFirmware());
    EXPECT_EQ(versionReadBack(), 0x0109);
    EXPECT_EQ(progress.size(), 15u);
}

// What is pending comes from the last load alone; a refused load leaves nothing to program.
TEST_F(FirmwareDownload, EachLoadReplacesWhatIsPending) {
    OrbiZo3FirmwareHandle handle(nullptr);
    const auto load = [&handle](const QByteArray& file) {
        handle.load(std::vector<std::uint8_t>(file.begin(), file.end()));
    };
    load(firmwareFor({1, 5}));
    load(firmwareFor({6}));
    EXPECT_TRUE(handle.isPending(6) && !handle.isPending(1) && !handle.isPending(5));
    EXPECT_THROW(load(firmwareFor({0, 7})), OrbiZoException);
    EXPECT_EQ(handle.progressValue(), static_cast<std::uint32_t>(kFixedUnits));
}

}  // namespace

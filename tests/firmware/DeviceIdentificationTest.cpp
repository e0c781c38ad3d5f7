#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <chrono>

#include "SimulatedTableFixture.h"
#include "firmware/DeviceConnection.h"
#include "simulator/Fault.h"
#include "utilities/MessageException.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceConnection;
using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceInfo;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;
using Korvane::Simulator::Fault;
using Korvane::Testing::SimulatedTableFixture;

namespace {

struct Message {
    QString title;
    QString text;
    QString detail;
};

class DeviceIdentification : public SimulatedTableFixture {
protected:
    // The MessageException that identifying the table at `devicePath` throws.
    static Message failureOf(const QString& devicePath) {
        try {
            DeviceConnection connection(devicePath);
            OrbiZo3FWUpdater::readDeviceInfo(connection);
        } catch (const MessageException& e) {
            return {e.title, e.text, e.detail};
        }
        ADD_FAILURE() << "identification did not fail";
        return {};
    }

    static const QString kReconnect;
};

const QString DeviceIdentification::kReconnect =
    "Please disconnect and reconnect the OrbiZo3 and try it again.";

TEST_F(DeviceIdentification, ReadsSerialNumberAndVersion) {
    table->clearTranscript();
    for (int round = 0; round < 2; ++round) {  // the first connection was closed again
        DeviceConnection connection(path);
        const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
        EXPECT_EQ(info.serialNumber, QString::fromStdString(table->serialNumber()));
        EXPECT_EQ(info.versionValues[1], 0x0107u);
        EXPECT_EQ(info.versionText(), "1.07");
    }
    // Each connection reads the version once when it opens, the identification once more.
    EXPECT_EQ(commands(), (std::vector<std::string>{"a1", "a1", "a1", "a1"}));
}

TEST_F(DeviceIdentification, NoSelectedTableFailsBeforeAnyDeviceAccess) {
    table->clearTranscript();
    const Message m = failureOf(QString());
    EXPECT_EQ(m.title, "No OrbiZo3 connected");
    EXPECT_EQ(m.text, "Connect an OrbiZo3 instrument.");
    EXPECT_EQ(m.detail, "");
    EXPECT_TRUE(table->transcript().empty());

    updater.setDevicePath(QString());
    updater.setFirmwareData(embeddedFirmware());
    EXPECT_THROW(updater.downloadFirmware(), MessageException);
}

TEST_F(DeviceIdentification, TableTheUserMayNotOpenSaysHowToGetAccess) {
    table->refuseAccess(true);
    const Message m = failureOf(path);
    EXPECT_EQ(m.title, "No permission to use this OrbiZo3");
    EXPECT_TRUE(m.text.contains("udev rule")) << m.text.toStdString();
    EXPECT_TRUE(m.detail.endsWith("(0xa001004)")) << m.detail.toStdString();
    table->refuseAccess(false);
    DeviceConnection connection(path);
    EXPECT_NO_THROW(OrbiZo3FWUpdater::readDeviceInfo(connection));
}

TEST_F(DeviceIdentification, TableHeldByAnotherConnectionIsInUse) {
    DeviceConnection holder(path);
    ASSERT_TRUE(holder.manager());
    const Message m = failureOf(path);
    EXPECT_EQ(m.title, "This OrbiZo3 is already in use");
    EXPECT_EQ(m.text, "Please quit all Orbi applications first.");
    EXPECT_EQ(m.detail, "");

    // A download refused this way leaves nothing open behind it.
    updater.setFirmwareData(embeddedFirmware());
    EXPECT_THROW(updater.downloadFirmware(), MessageException);
    EXPECT_TRUE(holder.isConnected());
}

TEST_F(DeviceIdentification, VanishedTableIsDisconnectedWithTheCauseAsDetail) {
    table->unplug();
    const Message m = failureOf(path);
    EXPECT_EQ(m.title, "OrbiZo3 disconnected");
    EXPECT_EQ(m.text, kReconnect);
    // "<device message> (0x<code>)", the code of the USB device group.
    EXPECT_TRUE(m.detail.contains(QRegularExpression(R"(^.+ \(0xa001[0-9a-f]{3}\)$)")))
        << m.detail.toStdString();
}

TEST_F(DeviceIdentification, WritesRefusedByAPresentTableAreAWriteFailure) {
    table->refuseWrites("a1", -1);
    const Message m = failureOf(path);
    EXPECT_EQ(m.title, "Write to OrbiZo3 failed");
    EXPECT_TRUE(m.detail.endsWith("(0xa002008), a1")) << m.detail.toStdString();
}

TEST_F(DeviceIdentification, FailedVersionQueryCannotGetTheVersion) {
    // The connection's own version query passes; the identification's is refused.
    table->inject(Fault::deviceError("a1", 5, 2));
    const Message m = failureOf(path);
    EXPECT_EQ(m.title, "Can't get Firmware version");
    EXPECT_EQ(m.text, kReconnect);
    EXPECT_TRUE(m.detail.endsWith("(0xa002006), a1")) << m.detail.toStdString();
}

// Whatever the converter makes of the latency timer, the identification names the value in
// effect, and a table that falls silent is reported after its answer time-outs have run their
// length at that latency: the first attempt 2000 ms, four more of at least 5 reads each, every
// one ending within max(its time-out, 5 latency periods) plus one latency period. Time here is
// the virtual clock the table moves.
TEST_F(DeviceIdentification, SilentTableIsReportedWithinTheBudgetOfTheLatencyInEffect) {
    using Converter = void (Korvane::Simulator::SimulatedTable::*)(bool);
    using Korvane::Utilities::RunSettings;
    const struct {
        const char* name;
        Converter behaviour;
        std::uint8_t asked;
        int inEffect;
    } cases[] = {
        {"accepts", nullptr, 2, 2},
        {"refuses", &Korvane::Simulator::SimulatedTable::refuseLatencyTimer, 2, 16},
        {"ignores", &Korvane::Simulator::SimulatedTable::ignoreLatencyTimer, 2, 16},
        {"never asked", nullptr, RunSettings::kKeepConverterLatencyTimer, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        table->clearFaults();
        if (c.behaviour) ((*table).*c.behaviour)(true);
        RunSettings settings = settingsWith(clock);
        settings.setLatencyTimerMs(c.asked);
        DeviceConnection connection(path, settings);
        EXPECT_EQ(OrbiZo3FWUpdater::readDeviceInfo(connection).latencyTimerMs, c.inEffect);

        table->inject(Fault::drop("", 0));
        const auto start = clock->now();
        EXPECT_THROW(OrbiZo3FWUpdater::readDeviceInfo(connection), MessageException);
        const auto reported =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock->now() - start);
        const int period = c.inEffect;
        const int bound = std::max(2000, 5 * period) + 4 * std::max(10, 5 * period) + 5 * period;
        EXPECT_GE(reported.count(), 2000);
        EXPECT_LE(reported.count(), bound);
    }
}

TEST(DeviceInfoText, MinorVersionHasTwoDigits) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0109, "1.09"}, {0x010A, "1.10"}, {0x0107, "1.07"}, {0x0210, "2.16"}, {0xFF63, "255.99"}};
    for (const auto& [word, text] : cases) {
        DeviceInfo info;
        info.versionValues = {1, word, 2};
        EXPECT_EQ(info.versionText(), text) << std::hex << word;
    }
}

TEST(UpdaterState, SelectingATableForgetsTheVersionReadBack) {
    OrbiZo3FWUpdater updater;
    updater.setNewFirmwareVersion(0x0109);
    updater.setDevicePath("other");
    EXPECT_EQ(updater.devicePath(), "other");
    EXPECT_EQ(updater.newFirmwareVersion(), 0);
}

}  // namespace

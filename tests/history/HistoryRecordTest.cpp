#include <QFileInfo>
#include <csignal>
#include <optional>
#include <utility>
#include <vector>

#include "HistoryFixture.h"
#include "history/HistoryCsv.h"
#include "history/HistorySchema.h"
#include "utilities/ErrorCodes.h"

// Records written by the recorder read back whole: every outcome, a killed process, a file of
// the first schema, an empty file.
namespace HistoryTest {
namespace {

namespace ErrorCode = Korvane::DeviceDriver::OrbiZo::ErrorCode;
using Sums = std::vector<std::pair<int, std::optional<std::uint32_t>>>;

Sums confirmedSectors(std::uint32_t base) {
    Sums sums;
    for (int sector : {1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14})
        sums.emplace_back(sector, base + sector);
    return sums;
}

struct RoundTrip {
    const char* name;
    HistoryRecord::Kind kind;
    Outcome outcome;
    std::uint16_t versionAfter;
    HistoryRecord::Failure failure;
    Sums sectors;  // each written, then confirmed when it has a sum
};

HistoryRecord::Failure lockedSector() {
    HistoryRecord::Failure failure;
    failure.code = ErrorCode::PrepareFailed;
    failure.caption = "Firmware update failed";
    failure.text = "Prepare sector failed";
    failure.detail = "Prepare sector failed (0x0a002041), u0 in sector 5";
    failure.command = "u0";
    failure.sector = 5;
    return failure;
}

HistoryRecord::Failure deviceGone() {
    HistoryRecord::Failure failure;
    failure.code = ErrorCode::ConnectionLost;
    failure.caption = "OrbiZo3 disconnected";
    failure.text = "Please disconnect and reconnect the OrbiZo3 and try it again.";
    failure.detail = "The connection to the device was lost (0x0a002001)";
    failure.command = "w1";
    failure.sector = 9;
    return failure;
}

const RoundTrip kRoundTrips[] = {
    {"succeeded",
     HistoryRecord::Kind::Update,
     Outcome::Succeeded,
     0x0109,
     {},
     confirmedSectors(0x7F000)},
    {"table refuses a locked sector",
     HistoryRecord::Kind::Update,
     Outcome::Failed,
     0,
     lockedSector(),
     {{1, 0x1234u}, {4, 0x5678u}, {5, std::nullopt}}},
    {"device failure",
     HistoryRecord::Kind::Update,
     Outcome::Failed,
     0,
     deviceGone(),
     {{1, 0xFFFFFFFFu}, {4, 0u}, {9, std::nullopt}}},
    {"cancelled", HistoryRecord::Kind::Update, Outcome::Cancelled, 0x0107, {}, {}},
    {"verify succeeded",
     HistoryRecord::Kind::Verify,
     Outcome::Succeeded,
     0x0109,
     {},
     confirmedSectors(1)},
};

class HistoryRoundTrip : public HistoryFixture, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(HistoryRoundTrip, ReadsBackWhatWasRecorded) {
    const RoundTrip& trip = GetParam();
    HistoryRecord given = sampleRecord();
    given.kind = trip.kind;
    given.benchId = "bench-7";
    HistoryRecorder recorder(path);
    recorder.begin(given);
    ASSERT_TRUE(recorder.recording()) << recorder.takeWarnings().join('\n').toStdString();
    for (const auto& [sector, sum] : trip.sectors) {
        recorder.sectorWritten(sector);
        if (sum) recorder.sectorConfirmed(sector, *sum);
    }
    recorder.finish(trip.outcome, trip.versionAfter, trip.failure);
    EXPECT_TRUE(recorder.takeWarnings().isEmpty());

    const HistoryReader::Result result = read();
    EXPECT_TRUE(result.warnings.isEmpty()) << result.warnings.join('\n').toStdString();
    ASSERT_EQ(result.records.size(), 1u);
    const HistoryRecord& got = result.records.front();
    const HistoryRecord& sent = recorder.current();
    // The CSV line holds every field but the process identity.
    EXPECT_EQ(HistoryCsv::line(got), HistoryCsv::line(sent));
    EXPECT_EQ(got.outcome, trip.outcome);
    EXPECT_EQ(got.failure.code, trip.failure.code);
    EXPECT_EQ(got.failure.sector, trip.failure.sector);
    EXPECT_TRUE(got.ended.isValid());
    EXPECT_FALSE(got.host.isEmpty());
    EXPECT_EQ(got.process.pid, ::getpid());
    EXPECT_EQ(got.process.bootId, sent.process.bootId);
    EXPECT_EQ(got.process.startTicks, sent.process.startTicks);
    ASSERT_EQ(got.sectors.size(), trip.sectors.size());
    for (std::size_t i = 0; i < trip.sectors.size(); ++i) {
        EXPECT_EQ(got.sectors[i].index, trip.sectors[i].first);
        EXPECT_TRUE(got.sectors[i].written);
        EXPECT_EQ(got.sectors[i].sum, trip.sectors[i].second) << "sector " << got.sectors[i].index;
    }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, HistoryRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

using HistoryFile = HistoryFixture;

TEST_F(HistoryFile, NewestFirstFilteredByTableAndLimited) {
    for (const char* serial : {"OZ3S000001", "OZ3S000002", "OZ3S000001", "OZ3S000003"}) {
        HistoryRecorder recorder(path);
        recorder.begin(sampleRecord(serial));
        recorder.finish(Outcome::Succeeded, 0x0109);
    }
    std::vector<qint64> ids;
    for (const HistoryRecord& record : read().records) ids.push_back(record.id);
    EXPECT_EQ(ids, (std::vector<qint64>{4, 3, 2, 1}));
    ids.clear();
    for (const HistoryRecord& record : read("OZ3S000001").records) ids.push_back(record.id);
    EXPECT_EQ(ids, (std::vector<qint64>{3, 1}));
    const auto limited = read("OZ3S000001", 1);
    ASSERT_EQ(limited.records.size(), 1u);
    EXPECT_EQ(limited.records.front().id, 3);
    EXPECT_TRUE(read("OZ3S000009").records.empty());
}

TEST_F(HistoryFile, MissingFileReadsEmptyAndIsNotCreated) {
    const HistoryReader::Result result = read();
    EXPECT_TRUE(result.readable);
    EXPECT_TRUE(result.records.empty());
    EXPECT_TRUE(result.warnings.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(HistoryFile, EmptyFileBecomesAHistory) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile(path).open(QIODevice::WriteOnly);
    HistoryRecorder recorder(path);
    recorder.begin(sampleRecord());
    recorder.finish(Outcome::Succeeded, 0x0109);
    EXPECT_TRUE(recorder.takeWarnings().isEmpty());
    EXPECT_EQ(read().records.size(), 1u);
}

// A file of the first schema, with a finished record and one whose process died before the
// process identity was kept, is brought forward and keeps both.
TEST_F(HistoryFile, FirstSchemaIsBroughtForward) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QStringList firstVersion = HistorySchema::step(1);
    firstVersion << "PRAGMA user_version = 1"
                 << "INSERT INTO record (kind, front_end, program_version, started_utc,"
                    " serial_number, version_before, version_after, simulated,"
                    " firmware_embedded, firmware_version, outcome, pid) VALUES ('update',"
                    " 'window', '1.8.0', '2026-01-02T03:04:05.678Z', 'OZ3S000001', 263, 265, 0,"
                    " 1, 265, 'succeeded', 4242)"
                 << "INSERT INTO sector VALUES (1, 4, 1, 305419896)"
                 << "INSERT INTO record (kind, front_end, program_version, started_utc,"
                    " serial_number, simulated, firmware_embedded, outcome, pid) VALUES"
                    " ('update', 'cli', '1.8.0', '2026-01-03T00:00:00.000Z', 'OZ3S000001', 0, 1,"
                    " 'running', 2147483000)";
    sql(firstVersion);

    HistoryRecorder recorder(path);
    recorder.begin(sampleRecord());
    recorder.finish(Outcome::Succeeded, 0x0109);
    EXPECT_TRUE(recorder.takeWarnings().isEmpty());

    const HistoryReader::Result result = read("OZ3S000001");
    ASSERT_EQ(result.records.size(), 3u);
    const HistoryRecord& dead = result.records[1];
    EXPECT_EQ(dead.outcome, Outcome::Interrupted);
    EXPECT_TRUE(dead.process.bootId.isEmpty());
    const HistoryRecord& old = result.records[2];
    EXPECT_EQ(HistoryRecord::timeText(old.started), "2026-01-02T03:04:05.678Z");
    EXPECT_EQ(old.frontEnd, HistoryRecord::FrontEnd::Window);
    EXPECT_EQ(HistoryRecord::versionText(old.versionBefore), "1.07");
    EXPECT_EQ(HistoryRecord::versionText(old.versionAfter), "1.09");
    ASSERT_EQ(old.sectors.size(), 1u);
    EXPECT_EQ(old.sectors.front().sum, 0x12345678u);
    EXPECT_EQ(old.benchId, QString());

    QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "schema");
    database.setDatabaseName(path);
    ASSERT_TRUE(database.open());
    QSqlQuery query(database);
    ASSERT_TRUE(query.exec("PRAGMA user_version") && query.next());
    EXPECT_EQ(query.value(0).toInt(), HistorySchema::CurrentVersion);
    ASSERT_TRUE(
        query.exec("SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE "
                   "'record_%' ORDER BY name"));
    QStringList indexes;
    while (query.next()) indexes << query.value(0).toString();
    EXPECT_EQ(indexes, (QStringList{"record_newest", "record_serial_newest"}));
    query = QSqlQuery();
    database = QSqlDatabase();
    QSqlDatabase::removeDatabase("schema");
}

// A process that dies between begin and finish leaves a record that reads as running while
// it lives and as interrupted after; what it recorded stays.
TEST_F(HistoryFile, KilledProcessReadsInterrupted) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        HistoryRecorder recorder(path);
        recorder.begin(sampleRecord());
        recorder.sectorWritten(1);
        recorder.sectorConfirmed(1, 0xCAFE);
        recorder.sectorWritten(4);
        if (::write(ready[1], "r", 1) != 1) ::_exit(2);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);

    const HistoryReader::Result alive = read();
    ASSERT_EQ(alive.records.size(), 1u);
    EXPECT_EQ(alive.records.front().outcome, Outcome::Running);
    EXPECT_EQ(alive.records.front().process.pid, child);

    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const HistoryReader::Result dead = read();
    ASSERT_EQ(dead.records.size(), 1u);
    const HistoryRecord& record = dead.records.front();
    EXPECT_EQ(record.outcome, Outcome::Interrupted);
    EXPECT_FALSE(record.ended.isValid());
    ASSERT_EQ(record.sectors.size(), 2u);
    EXPECT_EQ(record.sectors[0].sum, 0xCAFEu);
    EXPECT_TRUE(record.sectors[1].written);
    EXPECT_EQ(record.sectors[1].sum, std::nullopt);
}

TEST_F(HistoryFile, UnfinishedRecorderFinishesInterrupted) {
    {
        HistoryRecorder recorder(path);
        recorder.begin(sampleRecord());
    }
    const HistoryReader::Result result = read();
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.records.front().outcome, Outcome::Interrupted);
    EXPECT_TRUE(result.records.front().ended.isValid());
}

// Told apart: this process, the same pid started at another tick (a reused pid), the same pid
// in another boot, an ended process.
TEST(ProcessIdentityTest, TellsALiveProcessFromADeadOne) {
    const ProcessIdentity self = ProcessIdentity::current();
    ASSERT_FALSE(self.bootId.isEmpty());
    ASSERT_GE(self.startTicks, 0);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);

    struct Case {
        const char* name;
        ProcessIdentity identity;
        bool running;
    };
    ProcessIdentity reused = self;
    reused.startTicks += 1;
    ProcessIdentity otherBoot = self;
    otherBoot.bootId = "00000000-0000-0000-0000-000000000000";
    ProcessIdentity earlierProgram;
    earlierProgram.pid = self.pid;
    ProcessIdentity ended;
    ended.pid = child;
    const Case cases[] = {
        {"this process", self, true},     {"pid reused", reused, false},
        {"other boot", otherBoot, false}, {"only a pid, alive", earlierProgram, true},
        {"ended", ended, false},          {"no pid", ProcessIdentity(), false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.identity.isRunning(), c.running) << c.name;
}

TEST(HistoryRecordText, TimesAndVersions) {
    const QDateTime time = HistoryRecord::timeFromText("2026-12-09T04:16:26.123Z");
    ASSERT_TRUE(time.isValid());
    EXPECT_EQ(time.toMSecsSinceEpoch(), 1796789786123);
    EXPECT_EQ(HistoryRecord::timeText(time), "2026-12-09T04:16:26.123Z");
    EXPECT_FALSE(HistoryRecord::timeFromText("2026-12-09 04:16").isValid());
    EXPECT_EQ(HistoryRecord::versionText(0x010A), "1.10");
    EXPECT_EQ(HistoryRecord::versionText(0), "-");
}

}  // namespace
}  // namespace HistoryTest

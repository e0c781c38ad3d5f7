#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

namespace {

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class OrbiZo3Cli : public ::testing::Test {
protected:
    static Result run(const QStringList& arguments) {
        QProcess process;
        process.start(ORBIZO3_CLI, arguments);
        Result result;
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
            ADD_FAILURE() << "orbizo3-cli did not finish: " << arguments.join(' ').toStdString();
            return result;
        }
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    QString writeFile(const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(OrbiZo3Cli, CheckListsTheEmbeddedFirmwareSectors) {
    for (const QString& path : {QString(ORBIZO3_SOURCE_DIR "/src/resources/FW_Zo3.zof"),
                                QString(":/Resources/FW_Zo3.zof")}) {
        const Result r = run({"check", path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const QStringList lines = QString::fromStdString(r.out).split('\n');
        ASSERT_EQ(lines.size(), 12) << r.out;  // ten sectors, the vector line, the final newline
        for (int i = 0; i < 10; ++i) {
            const int n = 4 + i;
            const QString prefix = QString("sector %1 0x%2-0x%3 sum 0x")
                                       .arg(n)
                                       .arg(n * 0x2000, 5, 16, QChar('0'))
                                       .arg(n * 0x2000 + 0x1FFF, 5, 16, QChar('0'));
            EXPECT_TRUE(lines[i].startsWith(prefix)) << lines[i].toStdString();
            EXPECT_EQ(lines[i].size(), prefix.size() + 8) << lines[i].toStdString();
        }
        EXPECT_EQ(lines[10], "vector checksum -");
    }
}

TEST_F(OrbiZo3Cli, CheckPrintsSumsAndTheStoredVectorChecksum) {
    // Sector 0: words 1..4, the rest erased; the vector checksum lands on 0x14..0x17.
    const QString path = writeFile("vector.zof",
                                   ":1000000001000000020000000300000004000000E6\r\n"
                                   ":00000001FF\r\n" +
                                       QByteArray(10000, '\n'));
    const Result r = run({"check", path});
    // 10 + 8176 * 0xFF - 6 (0xF9 instead of 0xFF at 0x14) = 0x1FD014.
    EXPECT_EQ(r.out,
              "sector 0 0x00000-0x01fff sum 0x001fd014\n"
              "vector checksum 0xfffffff9\n");
    // Listed in full, then refused as a download would refuse it.
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "error 0x0a003081: Firmware contains sector 0.\n");
}

TEST_F(OrbiZo3Cli, CheckReportsTheFirstErrorWithItsCode) {
    const QByteArray padding(10000, '\n');
    const QByteArray sector5 = ":10A00000000102030405060708090A0B0C0D0E0FD8";
    const struct {
        QByteArray content;
        std::string err;
    } cases[] = {
        {":0100000041BE\n:00000001FE\n" + padding,
         "error 0x0a003085: Table firmware file checksum error in ':00000001FE'\n"},
        {":020000040001F9\n:01E00000011E\n:00000001FF\n" + padding,
         "error 0x0a003086: Sensor firmware file format error: address out of memory map\n"},
        {sector5 + "\r" + padding,
         "error 0x0a003085: Table firmware file format error: end of file record missing\n"},
        {sector5 + ":00000001FF\r" + padding,
         "error 0x0a003085: Table firmware file format error: end of line expected in '" +
             sector5.toStdString() + ":00000001FF'\n"},
        {":03000004000100F8\r" + padding,
         "error 0x0a003085: Table firmware file format error: byte count mismatch in "
         "':03000004000100F8'\n"},
        {sector5 + "\n:01A00F000050\n:00000001FF\n" + padding,
         "error 0x0a003086: Sensor firmware file format error: overlapping records at 0x0a00f\n"},
        {sector5 + "\n:00000001FF\n", "error 0x0a003081: No valid firmware (56)\n"},
    };
    for (const auto& c : cases) {
        const Result r = run({"check", writeFile("bad.zof", c.content)});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
    // A file that parses is listed, here as nothing but the vector line, before its refusal.
    const Result empty =
        run({"check", writeFile("empty.zof", ":020000040001F9\n:00000001FF\n" + padding)});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.out, "vector checksum -\n");
    EXPECT_EQ(empty.err, "error 0x0a003081: Firmware contains no sectors.\n");
}

TEST_F(OrbiZo3Cli, CheckOfAnUnreadableFileFails) {
    for (const QString& path : {dir.filePath("missing.zof"), dir.path()}) {
        const Result r = run({"check", path});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("Cannot read firmware file '" + path.toStdString() + "'"),
                  std::string::npos)
            << r.err;
    }
}

TEST_F(OrbiZo3Cli, UsageErrorsExitWith2AndShowUsage) {
    const QStringList cases[] = {{},
                                 {"frobnicate"},
                                 {"check"},
                                 {"check", "a.zof", "b.zof"},
                                 {"--bogus", "check", "a.zof"},
                                 {"check", "--bogus", "a.zof"}};
    for (const QStringList& arguments : cases) {
        const Result r = run(arguments);
        EXPECT_EQ(r.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("Usage:"), std::string::npos) << r.err;
    }
}

TEST_F(OrbiZo3Cli, HelpGoesToStandardOutput) {
    for (const QStringList& arguments : {QStringList{"--help"}, QStringList{"check", "--help"}}) {
        const Result r = run(arguments);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_NE(r.out.find("check"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <functional>
#include <string>

#include "history/HistoryReader.h"
#include "history/HistoryRecord.h"
#include "history/HistoryRecorder.h"

namespace HistoryTest {

using namespace Korvane::DeviceDriver::OrbiZo::History;
using Outcome = HistoryRecord::Outcome;

// A record as a CLI update of a file would begin it.
inline HistoryRecord sampleRecord(const QString& serial = "OZ3S000001") {
    HistoryRecord record;
    record.kind = HistoryRecord::Kind::Update;
    record.frontEnd = HistoryRecord::FrontEnd::Cli;
    record.programVersion = "1.9.0";
    record.devicePath = "\\\\?\\usb#vid_1209&pid_7a03#" + serial + "#{a5dcbf10}";
    record.serialNumber = serial;
    record.versionBefore = 0x0107;
    record.simulated = true;
    record.latencyTimerMs = 2;
    record.firmware.embedded = false;
    record.firmware.fileName = "FW, \"special\".zof";
    record.firmware.filePath = "/srv/firmware/FW, \"special\".zof";
    record.firmware.fileSize = 61234;
    record.firmware.sha256 = QString(64, 'a');
    return record;
}

// A history file in a fresh folder, and what the tests do to it behind the history's back.
class HistoryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath("state/orbizo3/history.sqlite3");
    }

    HistoryReader::Result read(const QString& serial = QString(), int limit = 0) const {
        return HistoryReader::read(path, serial, limit);
    }

    // Runs `statements` on the file through a connection of the test's own.
    void sql(const QStringList& statements) const {
        const QString name = "test-" + QString::number(++connections);
        {
            QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", name);
            database.setDatabaseName(path);
            ASSERT_TRUE(database.open());
            for (const QString& statement : statements) {
                QSqlQuery query(database);
                ASSERT_TRUE(query.exec(statement))
                    << statement.toStdString() << ": " << query.lastError().text().toStdString();
            }
        }
        QSqlDatabase::removeDatabase(name);
    }

    QByteArray fileHash() const {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return QByteArray();
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }

    // Runs `work` in a child process and returns what it wrote to the pipe it is given, once
    // the child has ended. The parent must hold no connection to the file (SQLite's locks do not
    // cross fork()).
    static std::string inChild(const std::function<void(int pipe)>& work) {
        int fds[2];
        if (::pipe(fds) != 0) return "pipe failed";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            work(fds[1]);
            ::_exit(0);
        }
        ::close(fds[1]);
        std::string said;
        char buffer[512];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) said.append(buffer, n);
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return said;
    }

    static void say(int pipe, const QStringList& lines) {
        const QByteArray text = lines.join('\n').toUtf8();
        if (::write(pipe, text.constData(), text.size()) < 0) ::_exit(2);
    }

    QTemporaryDir folder;
    QString path;
    static inline int connections = 0;
};

}  // namespace HistoryTest

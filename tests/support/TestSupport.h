#pragma once

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include "PgServer.h"

// A fresh temporary working directory for one test: the program keeps every
// file in its working directory, so each test case gets its own.
class TestWorkDir
{
public:
    TestWorkDir();
    ~TestWorkDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

class TestPgServer;

namespace TestSupport {
// Opens the database the working directory's settings name as the default
// connection: "ARQ-310MX.db3" there, or under ARQ_TEST_ENGINE=postgresql
// the test server's database (emptied for every new TestWorkDir).
bool openDatabase();
// ARQ_TEST_ENGINE=postgresql: the store runs on a PostgreSQL server the
// test program starts itself (ARQ_REQUIRE_ENGINE in initTestCase).
bool serverEngine();
// That server, started on first use; null when it cannot start (`why`).
TestPgServer* labServer(QString* why = nullptr);
// The server's database the tests use.
QString labDatabase();
void stopLabServer();
void closeDatabase();
// Runs one statement on the default connection and returns the first column
// of the first row (for checks that the store API does not offer).
QVariant scalar(const QString& sql);
// The same on the connection of the bench's own tables (SystemSet,
// ChannelCalibration, AcquisitionDevice): the default one on SQLite.
QVariant localScalar(const QString& sql);
// Path to a file in the source tree.
QString sourcePath(const QString& relative);
// True in CI (CI set and not "false"/"0"): a missing test package is a
// failure there, not a skip.
bool inCI();
// Whether `program` is on the PATH, or `module` imports in the system's Python.
bool hasProgram(const QString& program);
bool hasPythonModule(const QString& module);
// Re-runs one function of this test program as the unprivileged user
// "nobody" (for checks that root would pass trivially); true when it passed.
// `output` gets what it printed.
bool runUnprivileged(const QString& function, QString* output = nullptr);
bool isRoot();
// Under ARQ_TEST_SHARD=i/n (set by ctest for a sharded program), whether the
// current test function belongs to another shard: functions are dealt out
// in declaration order.
bool otherShard(const QObject* test);
} // namespace TestSupport

// In initTestCase of a program that runs on either engine: under
// ARQ_TEST_ENGINE=postgresql the test server is started, or the program is
// skipped (failed in CI) without the server's packages.
#define ARQ_REQUIRE_ENGINE()                                                                            \
    do {                                                                                                \
        if (TestSupport::serverEngine()) {                                                              \
            QString why_;                                                                               \
            const bool present_ = TestPgServer::available(&why_);                                       \
            if (!present_)                                                                              \
                qWarning().noquote() << "PostgreSQL tests need" << why_;                                \
            ARQ_REQUIRE(present_, "postgresql libqt5sql5-psql");                                        \
            QVERIFY2(TestSupport::labServer(&why_), qPrintable(why_));                                  \
        }                                                                                               \
    } while (false)

// In a sharded program's init(): skips the functions of the other shards.
#define ARQ_SHARD(test)                                                                                 \
    do {                                                                                                \
        if (TestSupport::otherShard(test))                                                              \
            QSKIP("runs in another shard");                                                             \
    } while (false)

// A test that needs a package: skipped on a developer's machine without it,
// failed in CI with the package's name.
#define ARQ_REQUIRE(present, package)                                                                   \
    do {                                                                                                \
        if (!(present)) {                                                                               \
            if (TestSupport::inCI())                                                                    \
                QFAIL("missing test package: " package);                                                \
            QSKIP(package " is not installed");                                                         \
        }                                                                                               \
    } while (false)

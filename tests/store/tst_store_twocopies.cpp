// A program carrying its own copy of SQLite beside the one of Qt's SQL
// driver, as with Qt's Windows plugin: the driver's handle must never reach
// the program's copy, and bulk inserts still store every row.
#include "BulkRows.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QtTest>

#include <sqlite3.h>

#include <dlfcn.h>

class TestStoreTwoCopies : public QObject
{
    Q_OBJECT
private slots:
    void bulkInsertsTakeTheQtStatements()
    {
        // The setup itself: our sqlite3_libversion is the copy linked into
        // this executable, the driver reaches the system library.
        Dl_info ours;
        QVERIFY(dladdr(reinterpret_cast<void*>(&sqlite3_libversion), &ours));
        QCOMPARE(QFileInfo(QString::fromLocal8Bit(ours.dli_fname)).canonicalFilePath(),
                 QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());

        TestWorkDir dir;
        QVERIFY(TestSupport::openDatabase());
        QVERIFY(QSqlDatabase::database().driver()->handle().isValid()); // a handle is offered, and refused
        QCOMPARE(Tool::bulkInsertPath(), Tool::BulkInsertPath::QtStatements);
        BulkRows::storeAndCheck("two copies");
        TestSupport::closeDatabase();
    }
};

QTEST_MAIN(TestStoreTwoCopies)
#include "tst_store_twocopies.moc"

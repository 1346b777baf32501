// The diagnostic log: line format, one file per day, removal of old files.
#include "MessageLog.h"
#include "TestSupport.h"

#include <QFile>
#include <QThread>
#include <QtTest>

namespace {
QStringList readLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

void touch(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}
} // namespace

class TestMessageLog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        qInstallMessageHandler(nullptr);
        MessageLog::setClock(nullptr);
    }

    void lineFormat_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("word");
        QTest::newRow("debug") << int(QtDebugMsg) << "Debug:";
        QTest::newRow("warning") << int(QtWarningMsg) << "Warning:";
        QTest::newRow("critical") << int(QtCriticalMsg) << "Critical:";
        QTest::newRow("fatal") << int(QtFatalMsg) << "Fatal:";
        QTest::newRow("info") << int(QtInfoMsg) << "";
    }
    void lineFormat()
    {
        QFETCH(int, type);
        QFETCH(QString, word);
        const QDateTime t(QDate(2024, 1, 2), QTime(3, 4, 5));
        const QString line = MessageLog::formatLine(QtMsgType(type), "store/Tool.cpp", 42, "消息", t);
        const QString expected = word + " (" + t.toString("yyyy-MM-dd hh:mm:ss ddd") +
                                 ")   File:(store/Tool.cpp) Line:(42) 消息";
        QCOMPARE(line, expected);
        if (word.isEmpty())
            QVERIFY(line.startsWith(' '));
    }

    void handlerWritesEveryLevelWithSourceLocation()
    {
        TestWorkDir dir;
        qInstallMessageHandler(messageHandler);
        qDebug() << "first";
        const int line = __LINE__ - 1;
        qInfo() << "second";
        qWarning() << "third";
        qInstallMessageHandler(nullptr);
        const QStringList lines = readLines(MessageLog::fileNameFor(QDate::currentDate()));
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("Debug: ("));
        QVERIFY2(lines[0].contains(QStringLiteral("tst_messagelog.cpp) Line:(%1) first").arg(line)),
                 qPrintable(lines[0]));
        QVERIFY(lines[1].startsWith(" ("));
        QVERIFY(lines[2].startsWith("Warning: ("));
    }

    void messagesAcrossMidnightGoToTwoFiles()
    {
        TestWorkDir dir;
        QDateTime now(QDate(2024, 5, 31), QTime(23, 59, 59, 900));
        MessageLog::setClock([&now] { return now; });
        qInstallMessageHandler(messageHandler);
        qDebug() << "before";
        now = QDateTime(QDate(2024, 6, 1), QTime(0, 0, 0, 100));
        qDebug() << "after";
        qInstallMessageHandler(nullptr);
        QCOMPARE(readLines(dir.file("log_2024-05-31.log")).size(), 1);
        QCOMPARE(readLines(dir.file("log_2024-06-01.log")).size(), 1);
        QVERIFY(readLines(dir.file("log_2024-06-01.log"))[0].endsWith("after"));
    }

    void linesFromManyThreadsStayWhole()
    {
        TestWorkDir dir;
        qInstallMessageHandler(messageHandler);
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    qDebug().noquote() << QStringLiteral("thread %1 message %2 ").arg(t).arg(i) + QString(80, 'x');
            });
            threads.last()->start();
        }
        for (QThread* th : threads) {
            th->wait();
            delete th;
        }
        qInstallMessageHandler(nullptr);
        const QStringList lines = readLines(MessageLog::fileNameFor(QDate::currentDate()));
        QCOMPARE(lines.size(), 800);
        for (const QString& l : lines)
            QVERIFY(l.startsWith("Debug: (") && l.endsWith(QString(80, 'x')));
    }

    void oldLogsAreRemoved()
    {
        TestWorkDir dir;
        const QDate today(2024, 3, 31);
        const QStringList names = {
            "log_2024-02-28.log", // 32 days: removed
            "log_2024-02-29.log", // 31 days: kept
            "log_2024-03-31.log", // today
            "log_notadate.log",   // no date: kept
            "other_2020-01-01.log", "LOG_2020-01-01.log", "log_2020-01-01.txt",
        };
        for (const QString& n : names)
            touch(dir.file(n));
        const QStringList removed = MessageLog::removeOldLogs(QDir(dir.path()), today);
        QCOMPARE(removed, QStringList{"log_2024-02-28.log"});
        for (const QString& n : names.mid(1))
            QVERIFY2(QFile::exists(dir.file(n)), qPrintable(n));
    }
};

QTEST_GUILESS_MAIN(TestMessageLog)
#include "tst_messagelog.moc"

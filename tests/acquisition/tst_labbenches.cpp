// Two benches record online acquisitions into one PostgreSQL lab database at
// once while a third reads the projects and writes a report; the server stops
// in the middle of the runs and comes back. Every scan a bench reports stored
// is in the database exactly once; a third bench asking for a taken project
// name does not start.
#include "OnlineSetup.h"
#include "ReportJob.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

struct Bench
{
    QString name;
    std::unique_ptr<QTemporaryDir> dir{new QTemporaryDir};
    std::unique_ptr<QProcess> process{new QProcess};
    QString buffer;
    QStringList stored, messages;
    bool setupFailed = false;

    void read()
    {
        buffer += QString::fromUtf8(process->readAllStandardOutput());
        int nl;
        while ((nl = buffer.indexOf(QLatin1Char('\n'))) >= 0) {
            const QString line = buffer.left(nl).trimmed();
            buffer.remove(0, nl + 1);
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() == 4 && parts.at(0) == QLatin1String("STORED"))
                stored << parts.at(2) + QLatin1Char(' ') + parts.at(3);
            else if (line.startsWith(QLatin1String("MESSAGE")))
                messages << line;
            else if (line == QLatin1String("SETUP failed"))
                setupFailed = true;
        }
    }
};

QString runnerPath()
{
    return qEnvironmentVariable("ARQ_BINARY_DIR", QStringLiteral(ARQ_DEFAULT_BINARY_DIR))
           + QStringLiteral("/tests/acquisition/arq-online-runner");
}

void start(Bench& bench, TestPgServer* server, int scans)
{
    QVERIFY(server->writeSettings(bench.dir->filePath(QString::fromLatin1(Tool::DatabaseSettingsFileName)),
                                  TestSupport::labDatabase()));
    // Quick retries while the server is away; room for every held scan.
    bench.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bench.process->start(runnerPath(), {"--workdir", bench.dir->path(), "--simulator", SimulatorProcess::program(),
                                        "--instruments", "1", "--channels", "4", "--interval", "0.1", "--scans",
                                        QString::number(scans), "--name", bench.name, "--hold-limits",
                                        "100000,50,50,300"});
    QVERIFY2(bench.process->waitForStarted(5000), qPrintable(runnerPath()));
}

// The third bench: an Excel report of a project as the report page writes it.
bool writeReport(const QString& name, const QString& path)
{
    QList<Tool::Struct_Parameters> found;
    if (!Tool::getParameters(found, name) || found.size() != 1)
        return false;
    ReportJob job;
    job.project = found.first();
    if (!Tool::getParametersTable(name, job.project.Channel.size(), &job.times, &job.columns) || job.times.isEmpty())
        return false;
    job.options.Format = QStringLiteral("Excel");
    job.options.Path = path;
    job.options.ScanInterval = job.options.PrintInterval = QStringLiteral("0.1");
    job.options.SegmentStart = {QDateTime::fromMSecsSinceEpoch(job.times.first())};
    job.options.SegmentEnd = {QDateTime::fromMSecsSinceEpoch(job.times.last())};
    job.options.SegmentRemarks = QStringList{QString()};
    job.chart = QImage(320, 200, QImage::Format_RGB32);
    job.chart.fill(Qt::white);
    return job.run({}, nullptr) && QFileInfo(path).size() > 0;
}

QStringList storedTimes(const QString& project)
{
    QSqlQuery q;
    q.prepare("select Time from ParametersData where Name = ? order by Time");
    q.addBindValue(project);
    QStringList times;
    if (q.exec())
        while (q.next())
            times << q.value(0).toString();
    return times;
}

bool openReport(TestPgServer* server)
{
    Tool::DatabaseSettings s = server->settings(TestSupport::labDatabase());
    s.file = QDir::temp().filePath(QStringLiteral("arq-labbenches-local.db3"));
    return Tool::openServerDatabase(s);
}

} // namespace

class TestLabBenches : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("ARQ_TEST_ENGINE", "postgresql");
        ARQ_REQUIRE_ENGINE();
    }

    void twoBenchesOneServerThroughAnOutage()
    {
        TestPgServer* server = TestSupport::labServer();
        QVERIFY(server);
        const int scans = 60;
        Bench a, b;
        a.name = "benchA";
        b.name = "benchB";
        start(a, server, scans);
        start(b, server, scans);
        QVERIFY(openReport(server));

        QElapsedTimer clock, since;
        clock.start();
        bool paused = false, resumed = false;
        int reads = 0;
        bool reported = false;
        QTemporaryDir reports;
        QVector<qint64> times;
        QVector<QVector<double>> columns;
        while ((a.process->state() != QProcess::NotRunning || b.process->state() != QProcess::NotRunning)
               && clock.elapsed() < 90000) {
            a.process->waitForReadyRead(20);
            b.process->waitForReadyRead(20);
            a.read();
            b.read();
            if (!paused && a.stored.size() >= 15 && b.stored.size() >= 15) {
                QVERIFY(server->pause());
                paused = true;
                since.start();
            } else if (paused && !resumed && since.elapsed() > 1500) {
                QString why;
                QVERIFY2(server->resume(&why), qPrintable(why));
                resumed = true;
                QVERIFY(openReport(server));
            } else if (!paused || resumed) {
                // The third bench reads both projects as the report page does,
                // and once the server is back writes a report while the runs go on.
                for (const Bench* bench : {&a, &b})
                    if (Tool::getParametersTable(bench->name + "-1", 4, &times, &columns))
                        ++reads;
                if (resumed && !reported && a.process->state() == QProcess::Running) {
                    QVERIFY(writeReport("benchA-1", reports.filePath("benchA.xlsx")));
                    reported = true;
                }
            }
        }
        a.read();
        b.read();
        QVERIFY(resumed);
        QVERIFY(reads > 0);
        QVERIFY(reported);
        for (Bench* bench : {&a, &b}) {
            QCOMPARE(bench->process->exitCode(), 0);
            QCOMPARE(bench->stored.size(), scans);
            QStringList expected = bench->stored;
            expected.sort();
            // No scan lost or stored twice, whatever the server did meanwhile.
            QCOMPARE(storedTimes(bench->name + "-1"), expected);
        }
        QList<Tool::Struct_Parameters> projects;
        QVERIFY(Tool::getParameters(projects, ""));
        QCOMPARE(projects.size(), 2);

        // A third bench asking for a name the lab has: refused, nothing written.
        Bench c;
        c.name = "benchA";
        start(c, server, 5);
        QVERIFY(c.process->waitForFinished(30000));
        c.read();
        QVERIFY(c.setupFailed);
        QVERIFY2(c.messages.join('\n').contains(QStringLiteral("项目名称已存在！")), qPrintable(c.messages.join('\n')));
        QCOMPARE(storedTimes("benchA-1").size(), scans);
        Tool::closeDefaultDatabase();
    }
};

QTEST_GUILESS_MAIN(TestLabBenches)
#include "tst_labbenches.moc"

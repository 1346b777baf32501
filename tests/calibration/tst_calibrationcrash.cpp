// The calibration page's process killed after its second point: after a
// restart the run goes on at the third point and ends with the coefficients
// of a run that was never interrupted.
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

QString runnerPath()
{
    return qEnvironmentVariable("ARQ_BINARY_DIR", QStringLiteral(ARQ_DEFAULT_BINARY_DIR))
           + QStringLiteral("/tests/calibration/arq-calibration-runner");
}

// Runs the page process until it prints a line starting with `until` (then
// kills it) or ends by itself; returns its output.
QString run(const QStringList& args, const QString& until = QString(), bool* killed = nullptr)
{
    QProcess process;
    process.setProgram(runnerPath());
    process.setArguments(args);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    if (!process.waitForStarted(5000))
        return QStringLiteral("not started");
    QString output;
    QElapsedTimer t;
    t.start();
    while (process.state() == QProcess::Running && t.elapsed() < 300000) {
        process.waitForReadyRead(50);
        output += QString::fromUtf8(process.readAllStandardOutput());
        if (!until.isEmpty() && output.contains(until)) {
            process.kill(); // SIGKILL: no destructor, no settings write
            process.waitForFinished(5000);
            if (killed)
                *killed = process.exitStatus() == QProcess::CrashExit;
            return output;
        }
    }
    process.waitForFinished(5000);
    output += QString::fromUtf8(process.readAllStandardOutput());
    return output;
}

// Coefficient texts of the run's configuration and the run row, read from a working directory.
struct Outcome
{
    QStringList b[4];
    QString criteria;
    QString saved; // the stored run row
    QString integrity;
};

Outcome read(const QString& dir)
{
    Outcome out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(dir + QStringLiteral("/ARQ-310MX.db3"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next())
                out.integrity = q.value(0).toString();
            if (q.exec(QStringLiteral("SELECT A_C0, B_C1, C_C2, D_C3 FROM ChannelConfig WHERE Name = 'NTC-RUN'"))
                && q.next())
                for (int k = 0; k < 4; ++k)
                    out.b[k] = q.value(k).toString().split(QLatin1Char(','));
            if (q.exec(QStringLiteral("SELECT Data FROM ChannelCalibration WHERE Name = 'CalibrationCriteria'"))
                && q.next())
                out.criteria = q.value(0).toString();
            if (q.exec(QStringLiteral("SELECT CalibrationCriteria FROM ChannelCalibrationData")) && q.next())
                out.saved = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return out;
}

} // namespace

class TestCalibrationCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedAfterTheSecondPoint();
};

void TestCalibrationCrash::killedAfterTheSecondPoint()
{
    SimulatorProcess sim;
    QVERIFY2(sim.start({"--time-scale", "1000", "--instrument",
                        "model=KRLB-1,pty,noise=0,wobble=0,temperature=20,setpoint=20", "--instrument",
                        "model=3107A-NTC,tcp=127.0.0.1:0,noise=0,in=1:101-102,sensor101=-4.2:3990:-12000:1000000,"
                        "sensor102=-4.05:3950:-9000:800000"},
                       2),
             qPrintable(sim.errors()));
    const QStringList link{"--bath", sim.pty(), "--logger", QString::number(sim.port())};

    QTemporaryDir whole, interrupted;
    const QString reference = run(QStringList{"--workdir", whole.path(), "--fresh"} + link);
    QVERIFY2(reference.contains("END 校准结束退出!"), qPrintable(reference));

    bool killed = false;
    const QString first = run(QStringList{"--workdir", interrupted.path(), "--fresh"} + link, "POINT 2", &killed);
    QVERIFY2(killed, qPrintable(first));
    const Outcome cut = read(interrupted.path());
    QCOMPARE(cut.integrity, QStringLiteral("ok"));
    QCOMPARE(cut.criteria.split(';').size(), 2);

    const QString second = run(QStringList{"--workdir", interrupted.path()} + link);
    QVERIFY2(second.contains("START 2") && second.contains("END 校准结束退出!"), qPrintable(second));
    QVERIFY(second.contains("POINT 3") && !second.contains("POINT 2"));

    const Outcome a = read(whole.path());
    const Outcome b = read(interrupted.path());
    // The saved run holds all five points; the page's run state is cleared for the next run.
    QCOMPARE(b.saved.split(';').size(), 5);
    QCOMPARE(b.criteria, QString());
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(b.b[k].size(), 2);
        for (int i = 0; i < 2; ++i) {
            const double x = a.b[k].value(i).toDouble(), y = b.b[k].value(i).toDouble();
            QVERIFY2(x != 0 && std::fabs(x - y) <= 1e-6 * std::fabs(x),
                     qPrintable(QStringLiteral("B%1 of channel %2: %3 against %4").arg(k).arg(101 + i).arg(y).arg(x)));
        }
    }
}

QTEST_GUILESS_MAIN(TestCalibrationCrash)
#include "tst_calibrationcrash.moc"

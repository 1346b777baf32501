// arq-online-runner: the online acquisition engine without its window,
// against simulated loggers, for the crash test and the soak benchmark.
//
//   arq-online-runner --workdir DIR (--device HOST:PORT | --pty PATH)...
//                     [--interval S] [--seconds S] [--scans N] [--projects N]
//                     [--channels N] [--quiet]
//   arq-online-runner --workdir DIR --simulator PATH --instruments N
//                     [--fault-every N] ...
//   [--hold-limits MEMORY,BATCH,FIRST_MS,MAX_MS]  bounds of the rows held while
//                     the database refuses writes
//   [--name NAME]     projects NAME-1, NAME-2, … (default run-<ms since epoch>-…)
//   [--write-budget MS] the lab server writer's longest wait for one write
//
// The database is the one database.ini in DIR names (without it, the SQLite file).
//
// Lines on stdout: "SETUP ok|failed", "SCAN <scan time>" for every scan taken
// and "STORED <index> <scan time>" once the scan's rows are committed (both
// unless --quiet), "RECONNECT <n>", "MESSAGE …",
// "MEMORY scan=<n> rss_kb=<k>" and a final "DONE …" summary, whose stall_ms
// is the longest the event loop (the window's thread) was held.

#include "OnlineSession.h"
#include "OnlineSetup.h"
#include "SimulatorProcess.h"
#include "StoreWriter.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace {

void out(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

qint64 statusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith(key)) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            return parts.size() >= 2 ? parts.at(1).toLongLong() : -1;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    QString workdir, simulator, name;
    QList<OnlineSetup::Link> links;
    double interval = 0.2;
    int seconds = 0, scans = 0, projects = 1, channels = 4, instruments = 1, faultEvery = 0, writeBudget = 0;
    bool quiet = false;
    QList<int> holdLimits;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        const QString v = i + 1 < args.size() ? args.at(i + 1) : QString();
        if (a == QLatin1String("--quiet")) { quiet = true; continue; }
        ++i;
        if (a == QLatin1String("--workdir")) workdir = v;
        else if (a == QLatin1String("--name")) name = v;
        else if (a == QLatin1String("--device")) links << OnlineSetup::tcpLink(v);
        else if (a == QLatin1String("--pty")) links << OnlineSetup::serialLink(v);
        else if (a == QLatin1String("--interval")) interval = v.toDouble();
        else if (a == QLatin1String("--seconds")) seconds = v.toInt();
        else if (a == QLatin1String("--scans")) scans = v.toInt();
        else if (a == QLatin1String("--projects")) projects = qBound(1, v.toInt(), 3);
        else if (a == QLatin1String("--channels")) channels = qBound(1, v.toInt(), 16);
        else if (a == QLatin1String("--simulator")) simulator = QFileInfo(v).absoluteFilePath();
        else if (a == QLatin1String("--instruments")) instruments = qBound(1, v.toInt(), 3);
        else if (a == QLatin1String("--fault-every")) faultEvery = v.toInt();
        else if (a == QLatin1String("--write-budget")) writeBudget = v.toInt();
        else if (a == QLatin1String("--hold-limits")) {
            for (const QString& n : v.split(QLatin1Char(',')))
                holdLimits << n.toInt();
        }
        else {
            std::fprintf(stderr, "arq-online-runner: unknown option %s\n", a.toLocal8Bit().constData());
            return 2;
        }
    }
    if (workdir.isEmpty() || !QDir().mkpath(workdir) || !QDir::setCurrent(workdir)) {
        std::fprintf(stderr, "arq-online-runner: --workdir missing or unusable\n");
        return 2;
    }

    SimulatorProcess sim;
    if (!simulator.isEmpty()) {
        QStringList simArgs;
        for (int d = 0; d < instruments; ++d)
            simArgs << QStringLiteral("--instrument") << OnlineSetup::instrumentOption(d, channels);
        if (!sim.start(simArgs, instruments, 10000, simulator)) {
            std::fprintf(stderr, "arq-online-runner: simulator did not start: %s\n",
                         sim.errors().toLocal8Bit().constData());
            return 1;
        }
        for (const QString& endpoint : sim.endpoints(QStringLiteral("tcp")))
            links << OnlineSetup::tcpLink(endpoint);
    }
    if (links.isEmpty()) {
        std::fprintf(stderr, "arq-online-runner: no device\n");
        return 2;
    }
    QString why;
    if (!Tool::openConfiguredDatabase(&why)) {
        std::fprintf(stderr, "arq-online-runner: database did not open: %s\n", why.toLocal8Bit().constData());
        return 1;
    }

    if (writeBudget > 0 && Tool::StoreWriter::instance())
        Tool::StoreWriter::instance()->setTimings(writeBudget, 200, 1000);

    // The longest gap between ticks of a 10 ms timer: how long the thread
    // of the window was held (by a store call, or anything else).
    qint64 stallMs = 0;
    QElapsedTimer tick;
    tick.start();
    QTimer stallTimer;
    QObject::connect(&stallTimer, &QTimer::timeout, [&] {
        stallMs = qMax(stallMs, tick.restart() - 10);
    });
    stallTimer.start(10);

    SystemContext context;
    QStringList names;
    for (int p = 0; p < projects; ++p)
        names << (name.isEmpty() ? QStringLiteral("run-%1").arg(QDateTime::currentMSecsSinceEpoch()) : name)
                     + QStringLiteral("-%1").arg(p + 1);
    QList<int> assign;
    for (int k = 0; k < links.size() * channels; ++k)
        assign << k % projects;
    const QDateTime now = QDateTime::currentDateTime();
    // An end before the start scans until stopped.
    const QDateTime end = seconds > 0 ? now.addSecs(seconds) : now.addSecs(-3600);
    OnlineSetup::fill(context, links, channels, names, assign, interval, now.addSecs(-1), end);

    auto* session = new OnlineSession;
    if (holdLimits.size() == 4)
        session->setHoldLimits(holdLimits.at(0), holdLimits.at(1), holdLimits.at(2), holdLimits.at(3));
    QObject::connect(session, &OnlineSession::scanSplit, [&](const QDateTime& time, const QList<QList<double>>&) {
        if (!quiet)
            out(QStringLiteral("SCAN %1").arg(time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))));
    });
    qint64 rss1000 = -1;
    int lastReconnects = 0;
    bool stopping = false;
    QObject::connect(session, &OnlineSession::setupFinished, [&](bool ok) {
        out(ok ? QStringLiteral("SETUP ok") : QStringLiteral("SETUP failed"));
        if (!ok)
            QTimer::singleShot(0, &app, [] { QCoreApplication::exit(1); });
    });
    QObject::connect(session, &OnlineSession::message, [&](const QString& title, const QString& text) {
        out(QStringLiteral("MESSAGE %1 %2").arg(title, text));
        if (session->command() == OnlineSession::Continue) // answer "继续" for the operator
            QTimer::singleShot(1000, session, [session] { session->resumeReconnect(); });
    });
    QObject::connect(session, &OnlineSession::scanStored, [&](int index, const QDateTime& time) {
        const int stored = session->scansStored();
        if (!quiet)
            out(QStringLiteral("STORED %1 %2").arg(index).arg(time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))));
        if (session->reconnections() != lastReconnects) {
            lastReconnects = session->reconnections();
            out(QStringLiteral("RECONNECT %1").arg(lastReconnects));
        }
        if (stored == 1000) {
            rss1000 = statusKb("VmRSS:");
            out(QStringLiteral("MEMORY scan=1000 rss_kb=%1").arg(rss1000));
        }
        if (stored % 1000 == 0 && quiet)
            out(QStringLiteral("PROGRESS stored=%1 reconnects=%2 rss_kb=%3")
                    .arg(stored).arg(session->reconnections()).arg(statusKb("VmRSS:")));
        if (faultEvery > 0 && stored % faultEvery == 0 && !simulator.isEmpty() && (scans == 0 || stored < scans)) {
            sim.command(QStringLiteral("drop"));
            out(QStringLiteral("FAULT drop at %1").arg(stored));
        }
        if (scans > 0 && stored >= scans && !stopping) {
            stopping = true;
            session->requestStop(true);
        }
    });
    QObject::connect(session, &OnlineSession::commandChanged, [&](int command) {
        if (command == OnlineSession::Finish)
            QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    });
    if (!simulator.isEmpty()) {
        // Keep the simulator's stdout drained.
        auto* drain = new QTimer(&app);
        QObject::connect(drain, &QTimer::timeout, [&] { sim.pump(); });
        drain->start(200);
    }

    session->setContext(&context);
    const int rc = app.exec();
    stallTimer.stop();
    const int stored = session->scansStored();
    const int handled = session->scansHandled();
    const int reconnects = session->reconnections();
    delete session;
    const qint64 rssEnd = statusKb("VmRSS:");
    out(QStringLiteral("DONE stored=%1 handled=%2 reconnects=%3 peak_rss_kb=%4 rss_1000_kb=%5 rss_end_kb=%6 "
                       "growth_kb=%7 stall_ms=%8")
            .arg(stored).arg(handled).arg(reconnects).arg(statusKb("VmHWM:")).arg(rss1000).arg(rssEnd)
            .arg(rss1000 >= 0 ? rssEnd - rss1000 : -1).arg(stallMs));
    sim.stop();
    return rc;
}

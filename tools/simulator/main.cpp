// arq-simulator: simulated instruments (3107A data loggers, temperature sources,
// the 5310A Bluetooth thermometer) on TCP ports and pseudo-terminals.

#include "Console.h"
#include "Lab.h"
#include "SimulatedLogger.h"
#include "SimulatorConfig.h"
#include "Thermometer5310A.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

void printLine(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    // Outlives the instruments (the application's children) that refer to it.
    sim::Lab lab;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("arq-simulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ARQ_VERSION));

    sim::SimulatorConfig config;
    QString error;
    if (!sim::parseArguments(app.arguments().mid(1), &config, &error)) {
        std::fprintf(stderr, "arq-simulator: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    if (config.help) {
        std::fputs(sim::usageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (config.version) {
        printLine(QStringLiteral("arq-simulator %1").arg(QCoreApplication::applicationVersion()));
        return 0;
    }

    QFile record;
    if (!config.recordPath.isEmpty()) {
        record.setFileName(config.recordPath);
        if (!record.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "arq-simulator: cannot write %s: %s\n", config.recordPath.toLocal8Bit().constData(),
                         record.errorString().toLocal8Bit().constData());
            return 1;
        }
    }

    QList<sim::SimulatedLogger*> loggers;
    QList<int> loggerIndexes, thermometerIndexes;
    QList<sim::Thermometer5310A*> thermometers;
    QList<QStringList> listen; // per instrument, printed in configuration order
    for (int i = 0; i < config.instruments.size(); ++i) {
        if (config.instruments[i].thermometer) {
            auto* thermometer = new sim::Thermometer5310A(config.instruments[i], i, &app);
            thermometer->setTrace(config.trace);
            if (record.isOpen())
                thermometer->setRecordFile(&record);
            if (!thermometer->start(&error)) {
                std::fprintf(stderr, "arq-simulator: instrument %d: %s\n", i + 1, error.toLocal8Bit().constData());
                return 1;
            }
            listen << thermometer->listenLines();
            thermometers.append(thermometer);
            thermometerIndexes.append(i);
            continue;
        }
        loggerIndexes.append(i);
        auto* logger = new sim::SimulatedLogger(config.instruments[i], i, &app, &lab);
        logger->setTrace(config.trace);
        if (record.isOpen())
            logger->setRecordFile(&record);
        if (!logger->start(&error)) {
            std::fprintf(stderr, "arq-simulator: instrument %d: %s\n", i + 1, error.toLocal8Bit().constData());
            return 1;
        }
        listen << logger->listenLines();
        loggers.append(logger);
    }
    // A thermometer in a source reads the source's temperature (plus its own noise).
    for (int t = 0; t < thermometers.size(); ++t) {
        const int follow = config.instruments[thermometerIndexes[t]].follow;
        if (follow > 0) {
            const std::function<double()> probe = lab.probe(follow - 1);
            thermometers[t]->setTemperatureSource([probe](double) { return probe(); });
        }
    }
    for (const QStringList& lines : listen)
        for (const QString& line : lines)
            printLine(line);

    sim::CommandProcessor processor(loggers);
    sim::MixedConsole console(&processor, loggerIndexes, thermometers, thermometerIndexes);
    auto* reader = new sim::StdinReader(&app);
    QObject::connect(reader, &sim::StdinReader::lineRead, &app, [&](const QString& line) {
        bool quit = false;
        const QString answer = console.execute(line, &quit);
        if (!answer.isEmpty())
            printLine(answer);
        if (quit)
            QCoreApplication::quit();
    });
    if (config.exitOnEof)
        QObject::connect(reader, &sim::StdinReader::endOfInput, &app, &QCoreApplication::quit);
#ifdef SIGTTIN
    // Started in the background of an interactive shell, reading the terminal
    // would stop the whole process; ignored, the read fails and the console is off.
    std::signal(SIGTTIN, SIG_IGN);
#endif
    reader->start();

    const int rc = app.exec();
    // The reader may be blocked in a read of stdin; the process ends regardless.
    std::fflush(stdout);
    std::_Exit(rc);
}

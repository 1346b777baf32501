#include "BlePlatform.h"
#include "MailQueue.h"
#include "MessageLog.h"
#include "StartupConnect.h"
#include "Tervan.h"
#include "Tool.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QtDebug>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Images live in a static library; pull them in explicitly.
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(ARQ_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("ARQ-310MX: acquisition, calibration and reports."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption bleSimulator(
        QStringLiteral("ble-simulator"),
        QStringLiteral("Reach the Bluetooth LE thermometer through arq-simulator at HOST:PORT[,HOST:PORT...] "
                       "instead of the radio (also: environment variable ARQ_BLE_SIMULATOR)."),
        QStringLiteral("endpoints"));
    parser.addOption(bleSimulator);
    const QCommandLineOption connectRegistered(
        QStringLiteral("connect-registered"),
        QStringLiteral("Test every registered acquisition device at start-up and connect those that pass "
                       "(as their test button would)."));
    parser.addOption(connectRegistered);
    parser.process(app);

    qInstallMessageHandler(messageHandler);
    qInfo().noquote() << "ARQ-310MX" << ARQ_VERSION << "started in" << QDir::currentPath();
    if (parser.isSet(bleSimulator) && !BlePlatform::useSimulator(parser.value(bleSimulator))) {
        std::fprintf(stderr, "arq310mx: --ble-simulator needs HOST:PORT\n");
        return 2;
    }
    // Looked at once: the reference list offers the thermometer only where it can be reached.
    const bool bleUsable = BlePlatform::referenceUsable();
    qInfo() << "Bluetooth LE thermometer" << (bleUsable ? "can be reached" : "cannot be reached")
            << (BlePlatform::simulatorChosen() ? "(simulated)" : "");
    Tool::setReferenceProbe([bleUsable] { return bleUsable; });

    // An alarm mail that fails is entered in the warning log, on this thread.
    MailQueue::instance().setFailureHandler([&app](const QString& reason) {
        QMetaObject::invokeMethod(
            &app,
            [reason] {
                Tool::addAuditLog(QStringLiteral("通讯异常"),
                                  QCoreApplication::translate("AlarmMailer", "报警邮件发送失败：") + reason);
            },
            Qt::QueuedConnection);
    });

    int rc = 0;
    {
        Tervan window;
        window.show();
        StartupConnect connector(window.context());
        if (parser.isSet(connectRegistered))
            connector.start();
        rc = app.exec();
    }
    // The mail worker ends with the program, not after it.
    MailQueue::instance().shutdown();
    return rc;
}

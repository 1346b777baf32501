// arq-demo-setup: prepares the working directory of the demonstration bench:
// a database that already holds three simulated loggers, their channel
// configurations, a calibration page set up for the simulated dry block
// and its reference, and three decimals shown.
//
//   arq-demo-setup --workdir DIR --tc PORT --rtd PORT --ntc PORT --block PORT
#include "Records.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

#include <cstdio>

namespace {

Tool::Struct_ChannelConfig config(const QString& name, const QString& model, int channels, const QString& type,
                                  const QString& function, const QString& unit, const QString& wire)
{
    Tool::Struct_ChannelConfig c;
    c.Name = name;
    c.Time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    c.Mode = model;
    c.Module = QStringLiteral("1,0,0,0,0,0");
    c.Number = channels;
    for (int i = 0; i < channels; ++i) {
        c.ChannelNumber << QString::number(101 + i);
        c.Tag << QStringLiteral("CH%1").arg(101 + i);
        c.Type << type;
        c.Function << function;
        c.Wire << wire;
        c.Unit << unit;
        c.MX_B_M << QStringLiteral("1");
        c.MX_B_B << QStringLiteral("0");
        for (QStringList* l : {&c.A_C0, &c.B_C1, &c.C_C2, &c.D_C3, &c.R0_C4, &c.A4_C5, &c.B4_C6})
            *l << QStringLiteral("0");
        // An alarm band a little above the room, so the live view shows alarms.
        c.LowState << false;
        c.Low << QStringLiteral("0");
        c.HightState << (i == 0);
        c.Hight << QStringLiteral("30");
    }
    c.CompensationWay = QStringLiteral("内部补偿");
    c.ColdJunctionTemp = QStringLiteral("0");
    return c;
}

Tool::Struct_AcquisitionDevice device(int number, const QString& model, const QString& config, const QString& port)
{
    Tool::Struct_AcquisitionDevice d;
    d.Number = number;
    d.Mode = model;
    d.SerialNumber = QStringLiteral("DEMO%1").arg(number);
    d.ScanInterval = 2;
    d.ScanRate = QStringLiteral("快速");
    d.ChannelConfig = config;
    d.SignalMode = QStringLiteral("网络");
    d.IP_COM = QStringLiteral("127.0.0.1");
    d.Port_BaudRate = port;
    return d;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QString workdir, tc, rtd, ntc, block;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& key = args.at(i);
        const QString& value = args.at(i + 1);
        if (key == QLatin1String("--workdir"))
            workdir = value;
        else if (key == QLatin1String("--tc"))
            tc = value;
        else if (key == QLatin1String("--rtd"))
            rtd = value;
        else if (key == QLatin1String("--ntc"))
            ntc = value;
        else if (key == QLatin1String("--block"))
            block = value;
    }
    if (workdir.isEmpty() || !QDir().mkpath(workdir) || !QDir::setCurrent(workdir) || !Tool::openDefaultDatabase()) {
        std::fprintf(stderr, "arq-demo-setup: cannot open the database in %s\n", qPrintable(workdir));
        return 1;
    }
    bool ok = Tool::addChannelConfig(config(QStringLiteral("演示-热电偶"), QStringLiteral("3107A-TC"), 8,
                                            QStringLiteral("热电偶"), QStringLiteral("K"), QStringLiteral("℃"),
                                            QStringLiteral("二线制")))
              && Tool::addChannelConfig(config(QStringLiteral("演示-铂电阻"), QStringLiteral("3107A-RTD"), 4,
                                               QStringLiteral("铂电阻"), QStringLiteral("ITS90"),
                                               QStringLiteral("℃"), QStringLiteral("二线制")))
              && Tool::addChannelConfig(config(QStringLiteral("演示-热敏电阻"), QStringLiteral("3107A-NTC"), 4,
                                               QStringLiteral("热敏电阻"), QStringLiteral("R(T)"),
                                               QStringLiteral("℃"), QStringLiteral("二线制")))
              && Tool::addAcquisitionDevice(device(1, QStringLiteral("3107A-TC"), QStringLiteral("演示-热电偶"), tc))
              && Tool::addAcquisitionDevice(
                  device(2, QStringLiteral("3107A-RTD"), QStringLiteral("演示-铂电阻"), rtd))
              && Tool::addAcquisitionDevice(
                  device(3, QStringLiteral("3107A-NTC"), QStringLiteral("演示-热敏电阻"), ntc));

    // The calibration page opens on the dry block and its own reference,
    // two points, a short delay.
    if (!Tool::existChannelCalibration())
        Tool::createChannelCalibration();
    const QList<QPair<QString, QString>> keys{
        {"CollectionName1", "1-演示-热电偶"}, {"FieldName", "干式炉-R"},     {"FieldMode", "网络"},
        {"FieldIP", "127.0.0.1"},             {"FieldPort", block},          {"CriteriaName", "干式炉-R"},
        {"EditTemp1", "100"},                 {"EditTemp2", "200"},          {"FieldDelay", "1"},
        {"ChannelMax", "8"}};
    for (const auto& key : keys) {
        QString existing;
        ok = Tool::getChannelCalibration(key.first, existing) && Tool::modifyChannelCalibration(key.first, key.second)
             && ok;
    }
    // The simulated sensors change in the second and third decimal: show three.
    {
        QString existing;
        ok = Tool::getSystemSet(QStringLiteral("DataAccuracy"), existing)
             && Tool::modifySystemSet(QStringLiteral("DataAccuracy"), QStringLiteral("3")) && ok;
    }
    std::printf("%s\n", ok ? "demo working directory ready" : "demo set-up incomplete");
    return ok ? 0 : 1;
}

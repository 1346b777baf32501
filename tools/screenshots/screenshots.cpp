// Regenerates the documentation's screenshots: the main window and its pages
// on a prepared working directory (registered devices, channel
// configurations, a stored project, warning-log entries), in one language.
//
//   arq-screenshots --lang zh|en --out DIR [--qm DIR]
//
// Run it under a real X server (xvfb-run, see scripts/screenshots.sh) so the
// images use the fonts a user sees; offscreen works too (the test does).
// In English it also fails on interface texts left in Chinese.
#include "ChannelCalibration.h"
#include "ChannelConfig.h"
#include "ChartView.h"
#include "MessageBox.h"
#include "ParametersChannel.h"
#include "ParametersMode.h"
#include "SystemContext.h"
#include "Tervan.h"
#include "Tool.h"
#include "ToolPage.h"
#include "VerificationReport.h"
#include "Vocabulary.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDateTimeEdit>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtDebug>

#include <cmath>
#include <cstdio>

namespace {

const QString kTime = QStringLiteral("yyyy-MM-dd hh:mm:ss");

Tool::Struct_ChannelConfig channelConfig(const QString& name, const QString& model, const QString& type,
                                         const QString& function, const QString& wire, int channels,
                                         const QString& tagPrefix)
{
    Tool::Struct_ChannelConfig c;
    c.Name = name;
    c.Time = QStringLiteral("2026-12-01 08:30:00");
    c.Mode = model;
    c.Module = QStringLiteral("1,0,0,0,0,0");
    c.Number = channels;
    for (int i = 0; i < channels; ++i) {
        c.ChannelNumber << QString::number(101 + i);
        c.Tag << QStringLiteral("%1%2").arg(tagPrefix).arg(i + 1);
        c.Type << type;
        c.Function << function;
        c.Wire << wire;
        c.Unit << QStringLiteral("℃");
        c.MX_B_M << QStringLiteral("1");
        c.MX_B_B << QStringLiteral("0");
        for (QStringList* l : {&c.A_C0, &c.B_C1, &c.C_C2, &c.D_C3, &c.R0_C4, &c.A4_C5, &c.B4_C6})
            *l << QStringLiteral("0");
        c.LowState << (i < 2);
        c.Low << QStringLiteral("-10");
        c.HightState << (i < 2);
        c.Hight << QStringLiteral("150");
    }
    c.CompensationWay = QStringLiteral("内部补偿");
    c.ColdJunctionTemp = QStringLiteral("0");
    return c;
}

Tool::Struct_AcquisitionDevice device(int number, const QString& model, const QString& serial, const QString& config,
                                      const QString& link, const QString& address, const QString& port)
{
    Tool::Struct_AcquisitionDevice d;
    d.Number = number;
    d.Mode = model;
    d.SerialNumber = serial;
    d.ScanInterval = 2;
    d.ScanRate = QStringLiteral("快速");
    d.ChannelConfig = config;
    d.SignalMode = link;
    d.IP_COM = address;
    d.Port_BaudRate = port;
    return d;
}

// A stored project: two loggers, six channels following a 50 ℃ step of a dry
// block, each channel with its own small offset and noise.
bool storeProject(const QString& name)
{
    Tool::Struct_Parameters p;
    p.Name = name;
    p.Time = QStringLiteral("2026-12-09 09:55:00");
    const QDateTime start = QDateTime::fromString(QStringLiteral("2026-12-09 10:00:00"), kTime);
    const int rows = 900, interval = 4;
    p.Start = start.toString(kTime);
    p.End = start.addSecs(qint64(rows - 1) * interval).toString(kTime);
    p.DeviceNumber = QStringList{QStringLiteral("1"), QStringLiteral("2")};
    p.DeviceMode = QStringList{QStringLiteral("3107A-TC"), QStringLiteral("3107A-RTD")};
    p.SerialNumber = QStringList{QStringLiteral("TC240311"), QStringLiteral("RT240517")};
    p.ScanInterval = QString::number(interval);
    p.ScanRate = QStringLiteral("快速");
    p.SignalMode = QStringList{QStringLiteral("网络"), QStringLiteral("网络")};
    p.IP_COM = QStringList{QStringLiteral("192.168.1.21"), QStringLiteral("192.168.1.22")};
    p.Port_BaudRate = QStringList{QStringLiteral("5000"), QStringLiteral("5000")};
    p.ChannelConfig = QStringList{QStringLiteral("TC-K-8"), QStringLiteral("PT100-4")};
    p.Channel = QStringList{QStringLiteral("1-101"), QStringLiteral("1-102"), QStringLiteral("1-103"),
                            QStringLiteral("2-101"), QStringLiteral("2-102"), QStringLiteral("2-103")};
    for (int i = 0; i < p.Channel.size(); ++i)
        p.Unit << QStringLiteral("℃");
    if (!Tool::addParameters(p))
        return false;
    QList<Tool::Struct_ParametersData> data;
    for (int r = 0; r < rows; ++r) {
        const double t = r * interval / 60.0; // minutes
        // 20 ℃ → 50 ℃ from minute 5, first order, slower for the channels further in.
        QStringList values;
        for (int i = 0; i < p.Channel.size(); ++i) {
            const double lag = 1.0 + 0.15 * i;
            const double value = t < 5 ? 20.0 : 20.0 + 30.0 * (1.0 - std::exp(-(t - 5) / (8.0 * lag)));
            const double noise = 0.02 * std::sin(r * (0.7 + 0.3 * i)) + 0.01 * std::cos(r * 1.3 * (i + 1));
            values << QString::number(value + 0.03 * (i - 2) + noise, 'f', 3);
        }
        data << Tool::Struct_ParametersData{p.Name, start.addSecs(qint64(interval) * r), values};
    }
    return Tool::addParametersDataBulk(data);
}

// The working directory a laboratory would have after a few days of use.
bool prepareDatabase(bool english)
{
    if (!Tool::openDefaultDatabase())
        return false;
    bool ok = true;
    QString text;
    // Reading a setting creates its key on a fresh database.
    for (const char* key : {"DataAccuracy", "SystemLanguage", "AutoBackup", "BackupCycle", "BackupPath", "BackupTime",
                            "EmailInterval", "EmailAutoTrigger", "EmailAddress"})
        Tool::getSystemSet(QString::fromLatin1(key), text);
    ok &= Tool::modifySystemSet(QStringLiteral("DataAccuracy"), QStringLiteral("2"));
    ok &= Tool::modifySystemSet(QStringLiteral("SystemLanguage"),
                                english ? QStringLiteral("English") : QStringLiteral("中文"));
    ok &= Tool::modifySystemSet(QStringLiteral("AutoBackup"), true);
    ok &= Tool::modifySystemSet(QStringLiteral("BackupCycle"), QStringLiteral("7"));
    ok &= Tool::modifySystemSet(QStringLiteral("BackupPath"), QStringLiteral("/srv/arq-backup"));
    ok &= Tool::modifySystemSet(QStringLiteral("EmailAddress"), QStringLiteral("lab@example.org"));

    ok &= Tool::addChannelConfig(channelConfig(QStringLiteral("TC-K-8"), QStringLiteral("3107A-TC"),
                                               QStringLiteral("热电偶"), QStringLiteral("K"),
                                               QStringLiteral("二线制"), 8, QStringLiteral("TC")));
    ok &= Tool::addChannelConfig(channelConfig(QStringLiteral("PT100-4"), QStringLiteral("3107A-RTD"),
                                               QStringLiteral("热电阻"), QStringLiteral("PT100"),
                                               QStringLiteral("四线制"), 4, QStringLiteral("PT")));
    ok &= Tool::addAcquisitionDevice(device(1, QStringLiteral("3107A-TC"), QStringLiteral("TC240311"),
                                            QStringLiteral("TC-K-8"), QStringLiteral("网络"),
                                            QStringLiteral("192.168.1.21"), QStringLiteral("5000")));
    ok &= Tool::addAcquisitionDevice(device(2, QStringLiteral("3107A-RTD"), QStringLiteral("RT240517"),
                                            QStringLiteral("PT100-4"), QStringLiteral("网络"),
                                            QStringLiteral("192.168.1.22"), QStringLiteral("5000")));
    ok &= storeProject(QStringLiteral("DB50-1209"));

    // Warning-log entries as the program writes them (stored in Chinese, as it does).
    Tool::addAuditLog(QStringLiteral("通讯异常"), QStringLiteral("设备重新连接。"));
    Tool::addAuditLog(QStringLiteral("通讯异常"), QStringLiteral("进入手动重连模式！"));
    Tool::addAuditLog(QStringLiteral("通讯异常"), QStringLiteral("手动重连成功！"));
    Tool::addAuditLog(QStringLiteral("上限报警"), QStringLiteral("设备1-TC240311 通道TC1高于上限:151.20"));
    return ok;
}

bool hasChinese(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

// The interface texts of a widget tree that are still Chinese: labels,
// buttons, group titles, tab and header texts, combo entries and table cells.
// The prepared data holds no Chinese of the user's own, so a Chinese cell or
// entry is a stored word shown untranslated.
QStringList untranslated(QWidget* root)
{
    QStringList found;
    auto note = [&found](const QString& text) {
        if (hasChinese(text) && !found.contains(text))
            found << text;
    };
    note(root->windowTitle());
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root))
            continue;
        if (auto* label = qobject_cast<QLabel*>(w))
            note(label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            note(button->text());
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            note(group->title());
        else if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                note(tabs->tabText(i));
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            // Each language is offered under its own name.
            if (combo->objectName() != QLatin1String("comboBox_Language"))
                for (int i = 0; i < combo->count(); ++i)
                    note(combo->itemText(i));
        }
        else if (auto* table = qobject_cast<QTableWidget*>(w)) {
            for (int r = 0; r < table->rowCount(); ++r)
                for (int c = 0; c < table->columnCount(); ++c)
                    if (const QTableWidgetItem* item = table->item(r, c))
                        note(item->text());
        }
        else if (auto* header = qobject_cast<QHeaderView*>(w))
            if (QAbstractItemModel* model = header->model())
                for (int i = 0; i < header->count(); ++i)
                    note(model->headerData(i, header->orientation()).toString());
    }
    return found;
}

class Shooter
{
public:
    Shooter(const QString& outDir, bool english) : m_out(outDir), m_english(english) {}
    bool save(QWidget* w, const QString& name)
    {
        settle();
        if (m_english) {
            const QStringList left = untranslated(w);
            for (const QString& text : left)
                std::fprintf(stderr, "arq-screenshots: %s: untranslated: %s\n", qPrintable(name), qPrintable(text));
            m_ok &= left.isEmpty();
        }
        const QString file = QDir(m_out).filePath(name + QStringLiteral(".png"));
        const bool ok = w->grab().save(file, "PNG");
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
        m_ok &= ok;
        return ok;
    }
    bool ok() const { return m_ok; }
    static void settle()
    {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            Tool::delay(20);
        }
    }

private:
    QString m_out;
    bool m_english;
    bool m_ok = true;
};

template <class T>
T* child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

// Opens a page with its tool-bar group in front, as a click on its button leaves it.
void open(Tervan& window, int page, int group)
{
    window.showPage(page);
    if (auto* tabs = child<QTabWidget>(&window, "tabWidget"))
        tabs->setCurrentIndex(group);
}

// The program's trace of every statement is of no use here.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char* argv[])
{
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    qInstallMessageHandler(quietHandler);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the documentation's screenshots of ARQ-310MX."));
    parser.addHelpOption();
    const QCommandLineOption langOption(QStringLiteral("lang"), QStringLiteral("zh or en"), QStringLiteral("lang"),
                                        QStringLiteral("zh"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Directory for the PNG files"),
                                       QStringLiteral("dir"));
    const QCommandLineOption qmOption(QStringLiteral("qm"), QStringLiteral("Directory holding tervan_*.qm"),
                                      QStringLiteral("dir"), QCoreApplication::applicationDirPath());
    parser.addOptions({langOption, outOption, qmOption});
    parser.process(app);
    const QString lang = parser.value(langOption);
    if ((lang != QStringLiteral("zh") && lang != QStringLiteral("en")) || !parser.isSet(outOption)) {
        std::fprintf(stderr, "arq-screenshots: needs --lang zh|en and --out DIR\n");
        return 2;
    }
    const bool english = lang == QStringLiteral("en");
    const QString out = QDir(parser.value(outOption)).absolutePath();
    const QString qmDir = QDir(parser.value(qmOption)).absolutePath();
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "arq-screenshots: cannot create %s\n", qPrintable(out));
        return 1;
    }

    // The program keeps everything in its working directory: give it a fresh one.
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()))
        return 1;
    for (const char* qm : {"tervan_zh.qm", "tervan_en.qm"}) {
        const QString name = QString::fromLatin1(qm);
        if (!QFile::copy(QDir(qmDir).filePath(name), name) && (english || name == QStringLiteral("tervan_zh.qm"))) {
            std::fprintf(stderr, "arq-screenshots: %s not found in %s\n", qm, qPrintable(qmDir));
            return 1;
        }
    }
    if (!prepareDatabase(english)) {
        std::fprintf(stderr, "arq-screenshots: cannot prepare the database\n");
        return 1;
    }

    // Nothing may wait for a click: messages are recorded, not shown.
    MessageBox::setTestMode(true);
    Tervan::setSplashDuration(0);
    Shooter shots(out, english);
    {
        Tervan window;
        // Both loggers passed their test since start-up, as on a working bench:
        // the set-up and calibration pages offer them.
        Tool::getAcquisitionDevice(window.context()->ConnectedDevices, QString());
        window.show();
        window.TimeUpdate_slots();
        shots.save(&window, QStringLiteral("main-window"));

        open(window, 0, 0);
        shots.save(&window, QStringLiteral("system-settings"));

        open(window, 1, 1);
        if (auto* config = qobject_cast<ChannelConfig*>(window.currentPage()))
            config->ShowConfig(QStringLiteral("TC-K-8"));
        shots.save(&window, QStringLiteral("channel-config"));

        open(window, 2, 1);
        if (auto* list = child<QTableWidget>(window.currentPage(), "tableWidget_AcquisitionList"))
            emit list->cellDoubleClicked(0, 0); // the first device in the form
        shots.save(&window, QStringLiteral("acquisition-devices"));

        open(window, 3, 4);
        shots.save(&window, QStringLiteral("warning-log"));

        open(window, 5, 3);
        if (auto* report = qobject_cast<VerificationReport*>(window.currentPage())) {
            auto* tree = child<QTreeWidget>(report, "treeWidget_Device");
            if (tree && tree->topLevelItemCount() > 0) {
                QTreeWidgetItem* project = tree->topLevelItem(0);
                project->setExpanded(true);
                project->setCheckState(0, Qt::Checked);
                report->treeItemChanged(project, 0);
                report->viewProject();
                // Two tag lines: where the step starts and where the block has settled.
                const QDateTime start = QDateTime::fromString(QStringLiteral("2026-12-09 10:00:00"), kTime);
                auto* when = child<QDateTimeEdit>(report, "dateTimeEdit_TimeTagging");
                auto* remark = child<QLineEdit>(report, "lineEdit_TimeRemarks");
                auto* add = child<QPushButton>(report, "pushButton_TimeAdd");
                if (when && remark && add) {
                    const QList<QPair<int, QString>> tags = {
                        {5, english ? QStringLiteral("Step") : QStringLiteral("升温")},
                        {40, english ? QStringLiteral("Stable") : QStringLiteral("稳定")}};
                    for (const auto& tag : tags) {
                        when->setDateTime(start.addSecs(60 * tag.first));
                        remark->setText(tag.second);
                        add->click();
                    }
                }
            }
        }
        shots.save(&window, QStringLiteral("report"));

        open(window, 6, 1);
        if (ToolPage* page = window.currentPage()) {
            // A thermocouple run on the dry block: two points, five minutes' delay.
            if (auto* device = child<QComboBox>(page, "comboBox_Collection1"))
                device->setCurrentIndex(0);
            if (auto* field = child<QComboBox>(page, "comboBox_Field"))
                Vocabulary::select(field, QStringLiteral("干式炉"));
            const QList<QPair<const char*, const char*>> edits = {
                {"lineEdit_Temp1", "50"}, {"lineEdit_Temp2", "100"}, {"lineEdit_Delay", "5"}, {"lineEdit_Max", "8"}};
            for (const auto& e : edits)
                if (auto* edit = child<QLineEdit>(page, e.first))
                    edit->setText(QString::fromLatin1(e.second));
        }
        shots.save(&window, QStringLiteral("calibration"));

        // The acquisition chain's first two dialogs, as "数据采集" opens them.
        window.showPage(100);
        {
            ParametersMode mode(&window);
            mode.setContext(window.context());
            if (auto* name = child<QLineEdit>(&mode, "lineEdit_Name1"))
                name->setText(QStringLiteral("DB50-1210"));
            if (auto* device = child<QComboBox>(&mode, "comboBox_Device1"))
                device->setCurrentIndex(0);
            mode.show();
            shots.save(&mode, QStringLiteral("acquisition-mode"));
        }
        {
            SystemContext* c = window.context();
            Tool::getAcquisitionDevice(c->AcquisitionDevice, QString());
            c->ChannelConfig.clear();
            for (const auto& d : c->AcquisitionDevice) {
                QList<Tool::Struct_ChannelConfig> one;
                Tool::getChannelConfig(one, d.ChannelConfig);
                c->ChannelConfig << one.value(0);
            }
            c->ProjectName = QStringList{QStringLiteral("DB50-1210")};
            ParametersChannel channels(&window);
            channels.setContext(c);
            channels.resize(560, 430);
            channels.show();
            shots.save(&channels, QStringLiteral("acquisition-channels"));
        }
    }
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    QDir::setCurrent(QDir::tempPath());
    // A message means the prepared data no longer fits the pages: the images
    // would show something else than intended.
    const auto shown = MessageBox::shown();
    for (const auto& message : shown)
        std::fprintf(stderr, "arq-screenshots: unexpected message: %s: %s\n", qPrintable(message.title),
                     qPrintable(message.text));
    return shots.ok() && shown.isEmpty() ? 0 : 1;
}

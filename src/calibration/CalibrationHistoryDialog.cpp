#include "CalibrationHistoryDialog.h"

#include "CertificateDialog.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "Tool.h"

#include <QComboBox>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <cmath>

using namespace QtCharts;

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QStringList kCoefficientNames{"M", "B", "A/B0", "B/B1", "C/B2", "D/B3", "R0/C4", "A4/C5", "B4/C6"};

QString mkText(double v)
{
    return std::isfinite(v) ? QString::number(v, 'f', 2) : QStringLiteral("—");
}

QJsonObject evidenceOf(const Tool::Struct_CalibrationHistory& e)
{
    return QJsonDocument::fromJson(e.Evidence.toUtf8()).object();
}

// "-80.00 ～ 200.00" from the fit's range of validity; "—" for sets saved without it.
QString rangeText(const Tool::Struct_CalibrationHistory& e)
{
    const QJsonObject fit = evidenceOf(e).value(QStringLiteral("fit")).toObject();
    if (!fit.value(QStringLiteral("validFrom")).isDouble())
        return QStringLiteral("—");
    return QStringLiteral("%1 ～ %2").arg(QString::number(fit.value(QStringLiteral("validFrom")).toDouble(), 'f', 2),
                                         QString::number(fit.value(QStringLiteral("validTo")).toDouble(), 'f', 2));
}

// "3+1": fit points and check points of the set.
QString rolesText(const Tool::Struct_CalibrationHistory& e)
{
    int fit = 0, check = 0;
    for (const QString& point : e.Residuals.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        (point.section(QLatin1Char(':'), 4, 4) == QLatin1String("check") ? check : fit) += 1;
    return check ? QStringLiteral("%1+%2").arg(fit).arg(check) : QString::number(fit);
}

} // namespace

CalibrationHistoryDialog::CalibrationHistoryDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CalibrationHistoryDialog"));
    setWindowTitle(tr("校准历史"));
    resize(980, 640);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("通道："), this));
    comboBox_Channel = new QComboBox(this);
    comboBox_Channel->setObjectName(QStringLiteral("comboBox_Channel"));
    comboBox_Channel->setMinimumWidth(220);
    top->addWidget(comboBox_Channel);
    top->addSpacing(20);
    top->addWidget(new QLabel(tr("图表："), this));
    comboBox_Quantity = new QComboBox(this);
    comboBox_Quantity->setObjectName(QStringLiteral("comboBox_Quantity"));
    comboBox_Quantity->addItem(tr("校前误差(mK)"));
    comboBox_Quantity->addItem(tr("最大残差(mK)"));
    for (const QString& name : kCoefficientNames)
        comboBox_Quantity->addItem(name);
    top->addWidget(comboBox_Quantity);
    top->addStretch();
    layout->addLayout(top);

    tableWidget_History = new QTableWidget(this);
    tableWidget_History->setObjectName(QStringLiteral("tableWidget_History"));
    const QStringList head{tr("保存时间"), tr("在用"),          tr("校准开始"), tr("操作者"),
                           tr("拟合+核查点"), tr("有效范围(℃)"), tr("最大残差(mK)"), tr("校前误差(mK)"),
                           tr("来源"),     tr("系数")};
    tableWidget_History->setColumnCount(head.size());
    tableWidget_History->setHorizontalHeaderLabels(head);
    tableWidget_History->verticalHeader()->hide();
    tableWidget_History->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_History->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_History->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget_History->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tableWidget_History, 3);

    auto* chart = new QChart;
    chart->legend()->hide();
    m_Chart = new QChartView(chart, this);
    m_Chart->setObjectName(QStringLiteral("chartView_History"));
    m_Chart->setRenderHint(QPainter::Antialiasing);
    m_Chart->setMinimumHeight(200);
    layout->addWidget(m_Chart, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    pushButton_Restore = new QPushButton(tr("恢复所选系数"), this);
    pushButton_Restore->setObjectName(QStringLiteral("pushButton_Restore"));
    pushButton_RestoreRun = new QPushButton(tr("恢复该次校准的全部通道"), this);
    pushButton_RestoreRun->setObjectName(QStringLiteral("pushButton_RestoreRun"));
    auto* close = new QPushButton(tr("关闭"), this);
    close->setObjectName(QStringLiteral("pushButton_Quit"));
    pushButton_Certificate = new QPushButton(tr("出具证书..."), this);
    pushButton_Certificate->setObjectName(QStringLiteral("pushButton_Certificate"));
    buttons->addWidget(pushButton_Certificate);
    buttons->addWidget(pushButton_Restore);
    buttons->addWidget(pushButton_RestoreRun);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(comboBox_Channel, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CalibrationHistoryDialog::Channel_Changed);
    connect(comboBox_Quantity, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CalibrationHistoryDialog::Quantity_Changed);
    connect(pushButton_Restore, &QPushButton::clicked, this, &CalibrationHistoryDialog::pt_Restore_clicked);
    connect(pushButton_RestoreRun, &QPushButton::clicked, this, &CalibrationHistoryDialog::pt_RestoreRun_clicked);
    connect(pushButton_Certificate, &QPushButton::clicked, this, &CalibrationHistoryDialog::pt_Certificate_clicked);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    Tool::getCalibrationHistoryChannels(m_Channels);
    {
        const QSignalBlocker block(comboBox_Channel);
        for (const auto& c : qAsConst(m_Channels))
            comboBox_Channel->addItem(c.first + QStringLiteral(" / ") + c.second);
    }
    Channel_Changed(comboBox_Channel->currentIndex());
}

void CalibrationHistoryDialog::selectChannel(const QString& config, const QString& channelNumber)
{
    const int at = m_Channels.indexOf(qMakePair(config, channelNumber));
    if (at >= 0)
        comboBox_Channel->setCurrentIndex(at);
}

void CalibrationHistoryDialog::Channel_Changed(int index)
{
    m_Entries.clear();
    m_Shown = Tool::Struct_ChannelConfig();
    if (index >= 0 && index < m_Channels.size()) {
        Tool::getCalibrationHistory(m_Channels.at(index).first, m_Channels.at(index).second, m_Entries);
        QList<Tool::Struct_ChannelConfig> found;
        if (Tool::getChannelConfig(found, m_Channels.at(index).first) && !found.isEmpty())
            m_Shown = found.first();
    }
    tableWidget_History->setRowCount(0);
    for (int i = 0; i < m_Entries.size(); ++i) {
        const Tool::Struct_CalibrationHistory& e = m_Entries.at(i);
        const int row = tableWidget_History->rowCount();
        tableWidget_History->insertRow(row);
        QStringList coefficients;
        // A platinum R0 under its exact name: on the ITS-90 scale it is R(0.01 ℃).
        const QString function = evidenceOf(e).value(QStringLiteral("channel")).toObject().value(QStringLiteral("function")).toString();
        for (int i = 0; i < e.NewSet.size() && i < kCoefficientNames.size(); ++i) {
            QString name = kCoefficientNames.at(i);
            if (i == 6 && e.ChannelMode == QStringLiteral("铂电阻"))
                name = function == QLatin1String("CVD") ? QStringLiteral("R(0 ℃)") : QStringLiteral("R(0.01 ℃)");
            coefficients << name + QLatin1Char('=') + e.NewSet.at(i);
        }
        const QStringList cells{e.SavedAt,          inForce(i) ? tr("✔") : QString(), e.StartTime, e.Operator,
                                rolesText(e),       rangeText(e),                      mkText(e.MaxResidual),
                                mkText(e.MaxAsFound), e.Reference,                    coefficients.join(QStringLiteral("  "))};
        for (int c = 0; c < cells.size(); ++c)
            tableWidget_History->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    }
    tableWidget_History->resizeColumnsToContents();
    if (!m_Entries.isEmpty())
        tableWidget_History->selectRow(m_Entries.size() - 1);
    pushButton_Restore->setEnabled(!m_Entries.isEmpty());
    pushButton_RestoreRun->setEnabled(!m_Entries.isEmpty());
    pushButton_Certificate->setEnabled(!m_Entries.isEmpty());
    fillChart();
}

void CalibrationHistoryDialog::Quantity_Changed(int)
{
    fillChart();
}

QList<QPointF> CalibrationHistoryDialog::chartPoints() const
{
    QList<QPointF> points;
    const int q = comboBox_Quantity->currentIndex();
    for (const Tool::Struct_CalibrationHistory& e : m_Entries) {
        const QDateTime at = QDateTime::fromString(e.SavedAt, kTimeFormat);
        double v = std::nan("");
        if (q == 0)
            v = e.MaxAsFound;
        else if (q == 1)
            v = e.MaxResidual;
        else if (q - 2 < e.NewSet.size())
            v = e.NewSet.at(q - 2).toDouble();
        if (at.isValid() && std::isfinite(v))
            points << QPointF(static_cast<qreal>(at.toMSecsSinceEpoch()), v);
    }
    return points;
}

void CalibrationHistoryDialog::fillChart()
{
    QChart* chart = m_Chart->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
    const QList<QPointF> points = chartPoints();
    auto* line = new QLineSeries;
    auto* marks = new QScatterSeries;
    marks->setMarkerSize(8);
    for (const QPointF& p : points) {
        line->append(p);
        marks->append(p);
    }
    chart->addSeries(line);
    chart->addSeries(marks);
    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("yyyy-MM-dd"));
    auto* y = new QValueAxis;
    y->setTitleText(comboBox_Quantity->currentText());
    if (!points.isEmpty()) {
        double lo = points.first().y(), hi = lo;
        qreal first = points.first().x(), last = first;
        for (const QPointF& p : points) {
            lo = std::min(lo, p.y());
            hi = std::max(hi, p.y());
            first = std::min(first, p.x());
            last = std::max(last, p.x());
        }
        const double pad = hi > lo ? (hi - lo) * 0.1 : std::max(std::fabs(hi) * 0.1, 1e-6);
        y->setRange(lo - pad, hi + pad);
        // Sets saved within a day or two need the time of day to tell apart.
        if (last - first < 2 * 86400000.0)
            x->setFormat(QStringLiteral("MM-dd hh:mm"));
        // The first and last set stand off the plot's edges; a single set gets a day either side.
        const qreal side = last > first ? (last - first) * 0.05 : 86400000.0;
        x->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first - side)),
                    QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last + side)));
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

bool CalibrationHistoryDialog::inForce(int i) const
{
    if (i < 0 || i >= m_Entries.size())
        return false;
    const Tool::Struct_CalibrationHistory& e = m_Entries.at(i);
    const int at = m_Shown.ChannelNumber.indexOf(e.ChannelNumber);
    if (at < 0 || m_Shown.Name != e.ConfigName)
        return false;
    const QStringList current{m_Shown.MX_B_M.value(at), m_Shown.MX_B_B.value(at), m_Shown.A_C0.value(at),
                              m_Shown.B_C1.value(at),   m_Shown.C_C2.value(at),   m_Shown.D_C3.value(at),
                              m_Shown.R0_C4.value(at),  m_Shown.A4_C5.value(at),  m_Shown.B4_C6.value(at)};
    if (current != e.NewSet)
        return false;
    // Of equal sets the newest is the one that was put in force.
    for (int later = i + 1; later < m_Entries.size(); ++later)
        if (m_Entries.at(later).NewSet == e.NewSet)
            return false;
    return true;
}

void CalibrationHistoryDialog::pt_Restore_clicked()
{
    const int row = tableWidget_History->currentRow();
    const int channel = comboBox_Channel->currentIndex();
    if (row < 0 || row >= m_Entries.size() || channel < 0 || channel >= m_Channels.size()) {
        MessageBox::information(this, tr("提示"), tr("请先选择要恢复的系数！"));
        return;
    }
    const QString channelText = m_Channels.at(channel).first + QStringLiteral(" / ") + m_Channels.at(channel).second;
    restore({m_Entries.at(row)}, tr("将通道 %1 的系数恢复为 %2 保存的系数？").arg(channelText, m_Entries.at(row).SavedAt));
}

void CalibrationHistoryDialog::pt_RestoreRun_clicked()
{
    const int row = tableWidget_History->currentRow();
    if (row < 0 || row >= m_Entries.size()) {
        MessageBox::information(this, tr("提示"), tr("请先选择要恢复的系数！"));
        return;
    }
    // Every channel that save wrote: the same run, saved at the same time.
    const Tool::Struct_CalibrationHistory picked = m_Entries.at(row);
    QList<Tool::Struct_CalibrationHistory> run;
    if (!Tool::getCalibrationRunHistory(picked.StartTime, run))
        run.clear();
    QList<Tool::Struct_CalibrationHistory> sets;
    QStringList channels;
    for (const Tool::Struct_CalibrationHistory& e : qAsConst(run))
        if (e.SavedAt == picked.SavedAt && e.Reference == picked.Reference) {
            sets << e;
            channels << e.ConfigName + QStringLiteral(" / ") + e.ChannelNumber;
        }
    if (sets.isEmpty())
        sets << picked;
    restore(sets, tr("将以下%1个通道的系数恢复为 %2 保存的系数？\n%3")
                      .arg(sets.size())
                      .arg(picked.SavedAt, channels.join(QLatin1Char('\n'))));
}

void CalibrationHistoryDialog::restore(const QList<Tool::Struct_CalibrationHistory>& sets, const QString& question)
{
    if (!MessageBox::question(this, tr("提示"), question))
        return;
    QList<Tool::CoefficientRestore> items;
    QList<Tool::Struct_ChannelConfig> shown;
    QStringList configs;
    for (const Tool::Struct_CalibrationHistory& e : sets) {
        const QJsonObject ch = evidenceOf(e).value(QStringLiteral("channel")).toObject();
        items << Tool::CoefficientRestore{e, ch.value(QStringLiteral("type")).toString(),
                                          ch.value(QStringLiteral("function")).toString()};
        if (configs.contains(e.ConfigName))
            continue;
        configs << e.ConfigName;
        // The channel on show is compared with what the dialog showed; others
        // of the same save with what they are now, read before the question.
        if (e.ConfigName == m_Shown.Name) {
            shown << m_Shown;
        } else {
            QList<Tool::Struct_ChannelConfig> found;
            if (Tool::getChannelConfig(found, e.ConfigName) && !found.isEmpty())
                shown << found.first();
        }
    }
    const QString who = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME", QDir::home().dirName()));
    const QString now = QDateTime::currentDateTime().toString(kTimeFormat);
    switch (Tool::restoreCoefficients(items, shown, who, now)) {
    case Tool::RestoreOutcome::Restored:
        break;
    case Tool::RestoreOutcome::ConfigChanged:
        MessageBox::information(this, tr("提示"), tr("通道配置在打开本窗口后已被修改，系数未恢复！请重新打开校准历史。"));
        return;
    case Tool::RestoreOutcome::KindChanged:
        MessageBox::information(this, tr("提示"), tr("通道的类型或函数已与该系数拟合时不同，系数未恢复！"));
        return;
    case Tool::RestoreOutcome::Missing:
    case Tool::RestoreOutcome::Failed:
        MessageBox::information(this, tr("提示"), tr("系数恢复失败，通道配置未改变！"));
        return;
    }
    if (m_Sender) {
        m_Sender(configs);
        MessageBox::information(this, tr("提示"), tr("系数已恢复，正在下发到使用该通道配置的采集设备（结果见校准记录）。"));
    } else {
        MessageBox::information(this, tr("提示"), tr("系数已恢复；尚未下发到采集设备，请在采集设备页面测试该设备以下发。"));
    }
    const int channel = comboBox_Channel->currentIndex();
    Channel_Changed(channel);
}

void CalibrationHistoryDialog::pt_Certificate_clicked()
{
    const int row = tableWidget_History->currentRow();
    if (row < 0 || row >= m_Entries.size()) {
        MessageBox::information(this, tr("提示"), tr("请先选择一次校准！"));
        return;
    }
    // The certificate covers the device this channel was on in that run.
    const Tool::Struct_CalibrationHistory e = m_Entries.at(row);
    CertificateDialog dialog(e.StartTime, e.Label.section(QLatin1Char('_'), 0, 0).toInt(), this);
    ModalRun::exec(&dialog);
}

#include "CalibrationHistoryDialog.h"

#include "CertificateDialog.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "Tool.h"

#include <QComboBox>
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
    const QStringList head{tr("保存时间"), tr("校准开始"), tr("操作者"), tr("温度点数"), tr("最大残差(mK)"),
                           tr("校前误差(mK)"), tr("系数")};
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
    auto* close = new QPushButton(tr("关闭"), this);
    close->setObjectName(QStringLiteral("pushButton_Quit"));
    pushButton_Certificate = new QPushButton(tr("出具证书..."), this);
    pushButton_Certificate->setObjectName(QStringLiteral("pushButton_Certificate"));
    buttons->addWidget(pushButton_Certificate);
    buttons->addWidget(pushButton_Restore);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(comboBox_Channel, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CalibrationHistoryDialog::Channel_Changed);
    connect(comboBox_Quantity, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CalibrationHistoryDialog::Quantity_Changed);
    connect(pushButton_Restore, &QPushButton::clicked, this, &CalibrationHistoryDialog::pt_Restore_clicked);
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
    if (index >= 0 && index < m_Channels.size())
        Tool::getCalibrationHistory(m_Channels.at(index).first, m_Channels.at(index).second, m_Entries);
    tableWidget_History->setRowCount(0);
    for (const Tool::Struct_CalibrationHistory& e : qAsConst(m_Entries)) {
        const int row = tableWidget_History->rowCount();
        tableWidget_History->insertRow(row);
        QStringList coefficients;
        for (int i = 0; i < e.NewSet.size() && i < kCoefficientNames.size(); ++i)
            coefficients << kCoefficientNames.at(i) + QLatin1Char('=') + e.NewSet.at(i);
        const QStringList cells{e.SavedAt, e.StartTime, e.Operator, QString::number(e.Points),
                                mkText(e.MaxResidual), mkText(e.MaxAsFound), coefficients.join(QStringLiteral("  "))};
        for (int c = 0; c < cells.size(); ++c)
            tableWidget_History->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    }
    tableWidget_History->resizeColumnsToContents();
    if (!m_Entries.isEmpty())
        tableWidget_History->selectRow(m_Entries.size() - 1);
    pushButton_Restore->setEnabled(!m_Entries.isEmpty());
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
        // A single set still gets a day either side.
        const qreal day = 86400000.0;
        x->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first - (last > first ? 0 : day))),
                    QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last + (last > first ? 0 : day))));
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

void CalibrationHistoryDialog::pt_Restore_clicked()
{
    const int row = tableWidget_History->currentRow();
    const int channel = comboBox_Channel->currentIndex();
    if (row < 0 || row >= m_Entries.size() || channel < 0 || channel >= m_Channels.size()) {
        MessageBox::information(this, tr("提示"), tr("请先选择要恢复的系数！"));
        return;
    }
    const Tool::Struct_CalibrationHistory e = m_Entries.at(row);
    const QString channelText = m_Channels.at(channel).first + QStringLiteral(" / ") + m_Channels.at(channel).second;
    if (!MessageBox::question(this, tr("提示"),
                              tr("将通道 %1 的系数恢复为 %2 保存的系数？").arg(channelText, e.SavedAt)))
        return;
    if (!Tool::modifyChannelCoefficients(e.ConfigName, e.ChannelNumber, e.NewSet)) {
        MessageBox::information(this, tr("提示"), tr("系数恢复失败，通道配置未改变！"));
        return;
    }
    Tool::addAuditLog(QStringLiteral("校准系数"),
                      QStringLiteral("%1 恢复为 %2 保存的系数（校准开始 %3）：%4")
                          .arg(channelText, e.SavedAt, e.StartTime, e.NewSet.join(QLatin1Char(','))));
    MessageBox::information(this, tr("提示"), tr("系数已恢复！"));
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

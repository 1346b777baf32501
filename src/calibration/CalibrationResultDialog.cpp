#include "CalibrationResultDialog.h"

#include "MessageBox.h"

#include <QBrush>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString number(double v, int decimals)
{
    if (!std::isfinite(v))
        return QStringLiteral("—");
    QString text = QString::number(v, 'f', decimals);
    // A residual that rounds to zero is shown without a sign.
    if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - 2)
        text.remove(0, 1);
    return text;
}

bool beyond(double mk, double limitMk)
{
    return limitMk > 0 && (!std::isfinite(mk) || mk > limitMk);
}

QStringList headers(const QString& mode)
{
    const QString unit = mode == QStringLiteral("热电偶") ? QStringLiteral("℃") : QStringLiteral("Ω");
    return {CalibrationResultDialog::tr("通道"),          CalibrationResultDialog::tr("温度点"),
            CalibrationResultDialog::tr("用途"),          CalibrationResultDialog::tr("标准温度(℃)"),
            CalibrationResultDialog::tr("读数(%1)").arg(unit), CalibrationResultDialog::tr("新系数温度(℃)"),
            CalibrationResultDialog::tr("残差(mK)"),      CalibrationResultDialog::tr("校前误差(mK)"),
            CalibrationResultDialog::tr("扩展不确定度U(℃)")};
}

QStringList cells(const ChannelCheck& c, const PointCheck& p, const QString& mode)
{
    return {c.Label,
            QString::number(p.Point),
            p.Check ? CalibrationResultDialog::tr("核查") : CalibrationResultDialog::tr("拟合"),
            QString::number(p.Reference, 'f', 4),
            QString::number(p.Reading, 'f', mode == QStringLiteral("热电偶") ? 4 : 5),
            number(p.Fitted, 4),
            number(p.ResidualMk, 2),
            number(p.AsFoundMk, 2),
            std::isfinite(p.U) ? QStringLiteral("%1 (k=%2)").arg(QString::number(p.U, 'f', std::max(0, p.Decimals)),
                                                                  QString::number(p.k, 'f', 2))
                               : QStringLiteral("—")};
}

} // namespace

QString CalibrationResultDialog::note(const CalibrationSave::Report& report, double limitMk)
{
    QString text = report.exact ? tr("拟合点数等于待定系数个数，拟合在拟合点上是精确的（残差为0）；"
                                     "核查点不参与拟合，其残差是对拟合的独立检验。")
                                : tr("系数由%1个拟合点按最小二乘拟合；拟合点的残差和标准误差s说明拟合的好坏，"
                                     "核查点不参与拟合，其残差是对拟合的独立检验。")
                                      .arg(report.fitPoints);
    text += QLatin1Char('\n');
    text += limitMk > 0 ? tr("残差限：%1 mK；每个通道的最大残差加粗显示，超限的标红。").arg(limitMk)
                        : tr("未设残差限；每个通道的最大残差加粗显示。");
    text += QLatin1Char('\n') + tr("“写入”保存系数，“放弃”不写入任何数据并保留本次校准数据。");
    return text;
}

QString CalibrationResultDialog::summaries(const CalibrationSave::Report& report, const QString& mode)
{
    QStringList lines;
    for (const ChannelCheck& c : report.channels)
        lines << CalibrationSave::fitSummary(c, mode);
    return lines.join(QLatin1Char('\n'));
}

QString CalibrationResultDialog::tableText(const CalibrationSave::Report& report, const QString& mode, double limitMk)
{
    QStringList lines{headers(mode).join(QLatin1Char('\t'))};
    for (const ChannelCheck& c : report.channels) {
        for (const PointCheck& p : c.Points)
            lines << cells(c, p, mode).join(QLatin1Char('\t'));
        lines << tr("%1 最大残差 %2 mK%3").arg(c.Label, number(c.MaxResidualMk, 2),
                                              beyond(c.MaxResidualMk, limitMk) ? tr("（超限）") : QString());
        lines << CalibrationSave::fitSummary(c, mode);
    }
    return lines.join(QLatin1Char('\n'));
}

CalibrationResultDialog::CalibrationResultDialog(const CalibrationSave::Report& report, const QString& mode,
                                                 double limitMk, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CalibrationResultDialog"));
    setWindowTitle(tr("校准结果"));
    resize(900, 520);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(note(report, limitMk), this);
    label->setWordWrap(true);
    layout->addWidget(label);

    m_Table = new QTableWidget(this);
    m_Table->setObjectName(QStringLiteral("tableWidget_Result"));
    const QStringList head = headers(mode);
    m_Table->setColumnCount(head.size());
    m_Table->setHorizontalHeaderLabels(head);
    m_Table->verticalHeader()->hide();
    m_Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (const ChannelCheck& c : report.channels) {
        for (const PointCheck& p : c.Points) {
            const int row = m_Table->rowCount();
            m_Table->insertRow(row);
            const QStringList texts = cells(c, p, mode);
            for (int col = 0; col < texts.size(); ++col) {
                auto* item = new QTableWidgetItem(texts.at(col));
                if (col >= 3)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                m_Table->setItem(row, col, item);
            }
            // The channel's largest residual stands out; beyond the limit in red.
            if (std::fabs(p.ResidualMk) == c.MaxResidualMk || !std::isfinite(p.ResidualMk)) {
                QTableWidgetItem* item = m_Table->item(row, 6);
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
                if (beyond(c.MaxResidualMk, limitMk)) {
                    item->setBackground(QBrush(QColor(0xf8, 0xd0, 0xd0)));
                    item->setForeground(QBrush(QColor(0xa0, 0x10, 0x10)));
                }
            }
        }
    }
    m_Table->resizeColumnsToContents();
    m_Table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_Table, 1);
    auto* fits = new QLabel(summaries(report, mode), this);
    fits->setObjectName(QStringLiteral("label_Fits"));
    fits->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(fits);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* write = buttons->addButton(tr("写入"), QDialogButtonBox::AcceptRole);
    write->setObjectName(QStringLiteral("pushButton_Write"));
    QPushButton* discard = buttons->addButton(tr("放弃"), QDialogButtonBox::RejectRole);
    discard->setObjectName(QStringLiteral("pushButton_Discard"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool CalibrationResultDialog::ask(QWidget* parent, const CalibrationSave::Report& report, const QString& mode,
                                  double limitMk)
{
    if (MessageBox::testMode())
        return MessageBox::choose(parent, tr("校准结果"),
                                  note(report, limitMk) + QLatin1Char('\n') + tableText(report, mode, limitMk),
                                  {tr("写入"), tr("放弃")})
               == 0;
    CalibrationResultDialog dialog(report, mode, limitMk, parent);
    return dialog.exec() == QDialog::Accepted;
}

#include "LabRecordsDialog.h"

#include "LabRecords.h"
#include "MessageBox.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kDate = QStringLiteral("yyyy-MM-dd");
const QStringList kLabKeys{"LabName", "LabAddress", "Accreditation", "CertificatePattern", "Signatories"};

QTableWidget* makeTable(QWidget* parent, const QString& name, const QStringList& headers)
{
    auto* t = new QTableWidget(0, headers.size(), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    return t;
}

void addRow(QTableWidget* t, const QStringList& cells)
{
    const int row = t->rowCount();
    t->insertRow(row);
    for (int c = 0; c < t->columnCount(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells.value(c)));
}

QString cell(const QTableWidget* t, int row, int column)
{
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text().trimmed() : QString();
}

QString number(double v) { return QString::number(v, 'g', 10); }

} // namespace

LabRecordsDialog::LabRecordsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LabRecordsDialog"));
    setWindowTitle(tr("标准器与实验室记录"));
    resize(980, 520);
    auto* layout = new QVBoxLayout(this);
    m_Tabs = new QTabWidget(this);
    tableWidget_Standards = makeTable(this, QStringLiteral("tableWidget_Standards"),
                                      {tr("序列号"), tr("类型"), tr("证书编号"), tr("校准机构"), tr("校准日期"),
                                       tr("有效期至"), tr("扩展不确定度U(℃)"), tr("k"), tr("年漂移(℃/年)")});
    tableWidget_Sources = makeTable(this, QStringLiteral("tableWidget_Sources"),
                                    {tr("序列号"), tr("型号"), tr("稳定性(℃)"), tr("均匀性(℃)")});
    tableWidget_Readouts = makeTable(this, QStringLiteral("tableWidget_Readouts"),
                                     {tr("采集设备型号"), tr("通道类型"), tr("分辨力"), tr("准确度(±)"), tr("单位")});
    m_Tabs->addTab(tableWidget_Standards, tr("标准器"));
    m_Tabs->addTab(tableWidget_Sources, tr("温场"));
    m_Tabs->addTab(tableWidget_Readouts, tr("采集读数"));
    auto* lab = new QWidget(this);
    auto* form = new QFormLayout(lab);
    const QStringList labels{tr("实验室名称："), tr("地址："), tr("认可编号："), tr("证书编号格式："), tr("签发人（姓名/职务）：")};
    for (int i = 0; i < kLabKeys.size(); ++i) {
        auto* edit = new QLineEdit(lab);
        edit->setObjectName(QStringLiteral("lineEdit_") + kLabKeys.at(i));
        form->addRow(labels.at(i), edit);
        m_Lab << edit;
    }
    m_Tabs->addTab(lab, tr("实验室"));
    layout->addWidget(m_Tabs, 1);
    layout->addWidget(new QLabel(tr("U 与温场数值可填一个值，或按温度的表“温度:值;温度:值”（如 -80:0.02;0:0.01）；"
                                    "日期格式 yyyy-MM-dd；标准器类型为 KORVA 5310A、干式炉-R、油槽-R 或 手动（序列号填“手动”）。"),
                                 this));
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(tr("添加行"), this);
    add->setObjectName(QStringLiteral("pushButton_Add"));
    auto* remove = new QPushButton(tr("删除行"), this);
    remove->setObjectName(QStringLiteral("pushButton_Delete"));
    auto* save = new QPushButton(tr("保存"), this);
    save->setObjectName(QStringLiteral("pushButton_Save"));
    auto* close = new QPushButton(tr("关闭"), this);
    close->setObjectName(QStringLiteral("pushButton_Quit"));
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &LabRecordsDialog::pt_Add_clicked);
    connect(remove, &QPushButton::clicked, this, &LabRecordsDialog::pt_Delete_clicked);
    connect(save, &QPushButton::clicked, this, [this] { pt_Save_clicked(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    load();
}

void LabRecordsDialog::load()
{
    QList<Tool::Struct_ReferenceStandard> standards;
    Tool::getReferenceStandards(standards);
    for (const auto& r : qAsConst(standards))
        addRow(tableWidget_Standards, {r.Serial, r.Kind, r.Certificate, r.Laboratory, r.CalibrationDate.toString(kDate),
                                       r.DueDate.toString(kDate), r.Uncertainty, number(r.CoverageK),
                                       number(r.DriftPerYear)});
    QList<Tool::Struct_SourceRecord> sources;
    Tool::getSourceRecords(sources);
    for (const auto& r : qAsConst(sources))
        addRow(tableWidget_Sources, {r.Serial, r.Model, r.Stability, r.Uniformity});
    QList<Tool::Struct_ReadoutRecord> readouts;
    Tool::getReadoutRecords(readouts);
    for (const auto& r : qAsConst(readouts))
        addRow(tableWidget_Readouts, {r.Model, r.ChannelType, number(r.Resolution), number(r.Accuracy), r.Unit});
    for (int i = 0; i < kLabKeys.size(); ++i) {
        QString value;
        Tool::getLabRecord(kLabKeys.at(i), value);
        m_Lab.at(i)->setText(value);
    }
}

QTableWidget* LabRecordsDialog::current() const
{
    return qobject_cast<QTableWidget*>(m_Tabs->currentWidget());
}

void LabRecordsDialog::pt_Add_clicked()
{
    if (QTableWidget* t = current())
        addRow(t, t == tableWidget_Standards ? QStringList{QString(), QString(), QString(), QString(), QString(),
                                                           QString(), QString(), QStringLiteral("2"),
                                                           QStringLiteral("0")}
                                             : QStringList());
}

void LabRecordsDialog::pt_Delete_clicked()
{
    QTableWidget* t = current();
    if (t && t->currentRow() >= 0)
        t->removeRow(t->currentRow());
}

bool LabRecordsDialog::pt_Save_clicked()
{
    const QString title = tr("提示");
    const auto refuse = [&](const QString& tab, int row, const QString& column) {
        MessageBox::information(this, title, tr("%1第%2行“%3”无效，未保存！").arg(tab).arg(row + 1).arg(column));
        return false;
    };
    const auto header = [](const QTableWidget* t, int c) { return t->horizontalHeaderItem(c)->text(); };
    const auto isNumber = [](const QString& text, double* v) {
        bool ok = false;
        *v = text.toDouble(&ok);
        return ok;
    };

    QList<Tool::Struct_ReferenceStandard> standards;
    QStringList serials;
    for (int row = 0; row < tableWidget_Standards->rowCount(); ++row) {
        const QTableWidget* t = tableWidget_Standards;
        Tool::Struct_ReferenceStandard r;
        r.Serial = cell(t, row, 0);
        if (r.Serial.isEmpty() || serials.contains(r.Serial))
            return refuse(tr("标准器"), row, header(t, 0));
        serials << r.Serial;
        r.Kind = cell(t, row, 1);
        r.Certificate = cell(t, row, 2);
        r.Laboratory = cell(t, row, 3);
        for (int c : {4, 5}) {
            const QString text = cell(t, row, c);
            const QDate date = QDate::fromString(text, kDate);
            if (!text.isEmpty() && !date.isValid())
                return refuse(tr("标准器"), row, header(t, c));
            (c == 4 ? r.CalibrationDate : r.DueDate) = date;
        }
        r.Uncertainty = cell(t, row, 6);
        bool ok = false;
        Tool::parseTemperatureTable(r.Uncertainty, &ok);
        if (!r.Uncertainty.isEmpty() && !ok)
            return refuse(tr("标准器"), row, header(t, 6));
        if (!isNumber(cell(t, row, 7), &r.CoverageK) || !(r.CoverageK > 0))
            return refuse(tr("标准器"), row, header(t, 7));
        const QString drift = cell(t, row, 8);
        if (!drift.isEmpty() && !isNumber(drift, &r.DriftPerYear))
            return refuse(tr("标准器"), row, header(t, 8));
        standards << r;
    }
    QList<Tool::Struct_SourceRecord> sources;
    for (int row = 0; row < tableWidget_Sources->rowCount(); ++row) {
        const QTableWidget* t = tableWidget_Sources;
        Tool::Struct_SourceRecord r{cell(t, row, 0), cell(t, row, 1), cell(t, row, 2), cell(t, row, 3)};
        if (r.Serial.isEmpty())
            return refuse(tr("温场"), row, header(t, 0));
        for (int c : {2, 3}) {
            bool ok = false;
            Tool::parseTemperatureTable(cell(t, row, c), &ok);
            if (!cell(t, row, c).isEmpty() && !ok)
                return refuse(tr("温场"), row, header(t, c));
        }
        sources << r;
    }
    QList<Tool::Struct_ReadoutRecord> readouts;
    for (int row = 0; row < tableWidget_Readouts->rowCount(); ++row) {
        const QTableWidget* t = tableWidget_Readouts;
        Tool::Struct_ReadoutRecord r;
        r.Model = cell(t, row, 0);
        r.ChannelType = cell(t, row, 1);
        if (r.Model.isEmpty() || r.ChannelType.isEmpty())
            return refuse(tr("采集读数"), row, header(t, r.Model.isEmpty() ? 0 : 1));
        if (!isNumber(cell(t, row, 2), &r.Resolution) || r.Resolution < 0)
            return refuse(tr("采集读数"), row, header(t, 2));
        if (!isNumber(cell(t, row, 3), &r.Accuracy) || r.Accuracy < 0)
            return refuse(tr("采集读数"), row, header(t, 3));
        r.Unit = cell(t, row, 4);
        readouts << r;
    }
    bool stored = Tool::replaceLabRecords(standards, sources, readouts);
    for (int i = 0; stored && i < kLabKeys.size(); ++i)
        stored = Tool::putLabRecord(kLabKeys.at(i), m_Lab.at(i)->text().trimmed());
    MessageBox::information(this, title, stored ? tr("记录已保存！") : tr("记录保存失败！"));
    return stored;
}

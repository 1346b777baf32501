#include "ChannelConfigAdd.h"

#include "ChannelConfigBatch.h"
#include "ChannelModel.h"
#include "Collection.h"
#include "ConfigFile.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "Tool.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kTrue = QStringLiteral("true");
const QString kFalse = QStringLiteral("false");

bool isNumericColumn(int column)
{
    return column == ChannelConfigAdd::ColM || column == ChannelConfigAdd::ColB
           || (column >= ChannelConfigAdd::ColA_C0 && column <= ChannelConfigAdd::ColB4_C6)
           || column == ChannelConfigAdd::ColLow || column == ChannelConfigAdd::ColHight;
}

} // namespace

ChannelConfigAdd::ChannelConfigAdd(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelConfigAdd"));
    setWindowTitle(tr("添加配置文件"));
    setWindowFlags((windowFlags() & ~Qt::WindowContextHelpButtonHint) | Qt::WindowMaximizeButtonHint);
    auto* outer = new QVBoxLayout(this);
    groupBox = new QGroupBox(tr("通道配置"), this);
    outer->addWidget(groupBox);
    auto* layout = new QVBoxLayout(groupBox);

    auto* header = new QHBoxLayout;
    label_Name = new QLabel(tr("名称："), groupBox);
    label_Mode = new QLabel(tr("采集设备型号："), groupBox);
    label_Number = new QLabel(tr("通道个数："), groupBox);
    lineEdit_Name = new QLineEdit(groupBox);
    lineEdit_Name->setObjectName(QStringLiteral("lineEdit_Name"));
    lineEdit_Mode = new QLineEdit(groupBox);
    lineEdit_Mode->setObjectName(QStringLiteral("lineEdit_Mode"));
    lineEdit_Number = new QLineEdit(groupBox);
    lineEdit_Number->setObjectName(QStringLiteral("lineEdit_Number"));
    for (QLineEdit* e : {lineEdit_Name, lineEdit_Mode, lineEdit_Number})
        e->setEnabled(false);
    lineEdit_Number->setMaximumWidth(60);
    header->addWidget(label_Name);
    header->addWidget(lineEdit_Name, 2);
    header->addSpacing(12);
    header->addWidget(label_Mode);
    header->addWidget(lineEdit_Mode, 1);
    header->addSpacing(12);
    header->addWidget(label_Number);
    header->addWidget(lineEdit_Number);
    header->addStretch(1);
    layout->addLayout(header);

    tableWidget_List = new QTableWidget(groupBox);
    tableWidget_List->setObjectName(QStringLiteral("tableWidget_List"));
    tableWidget_List->setColumnCount(ColumnCount);
    tableWidget_List->setHorizontalHeaderLabels(
        {tr("选中"), tr("序号"), tr("通道编号"), tr("通道标签"), tr("通道类型"), tr("通道功能"), tr("接线线制"),
         QStringLiteral("Mx+B(M)"), QStringLiteral("Mx+B(B)"), tr("单位"), QStringLiteral("A/B0"),
         QStringLiteral("B/B1"), QStringLiteral("C/B2"), QStringLiteral("D/B3"), QStringLiteral("R0/C4"),
         QStringLiteral("A4/C5"), QStringLiteral("B4/C6"), tr("下限警告启用"), tr("下限警告"), tr("上限警告启用"),
         tr("上限警告")});
    tableWidget_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_List->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget_List->verticalHeader()->setVisible(false);
    layout->addWidget(tableWidget_List, 1);

    auto* buttons = new QHBoxLayout;
    pushButton_All = new QPushButton(tr("全选"), groupBox);
    pushButton_All->setObjectName(QStringLiteral("pushButton_All"));
    pushButton_Batch = new QPushButton(tr("批量设置"), groupBox);
    pushButton_Batch->setObjectName(QStringLiteral("pushButton_Batch"));
    pushButton_Import = new QPushButton(tr("参数导入"), groupBox);
    pushButton_Import->setObjectName(QStringLiteral("pushButton_Import"));
    pushButton_Cancel = new QPushButton(tr("取消"), groupBox);
    pushButton_Cancel->setObjectName(QStringLiteral("pushButton_Cancel"));
    pushButton_Save = new QPushButton(tr("新建文件"), groupBox);
    pushButton_Save->setObjectName(QStringLiteral("pushButton_Save"));
    // "全选" and "取消全选" share the button; keep it wide enough for both.
    pushButton_All->setMinimumWidth(
        pushButton_All->fontMetrics().horizontalAdvance(tr("取消全选")) + 24);
    for (QPushButton* b : {pushButton_All, pushButton_Batch, pushButton_Import})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(pushButton_Cancel);
    buttons->addWidget(pushButton_Save);
    layout->addLayout(buttons);

    connect(pushButton_All, &QPushButton::clicked, this, &ChannelConfigAdd::pt_All_clicked);
    connect(pushButton_Batch, &QPushButton::clicked, this, &ChannelConfigAdd::pt_Batch_clicked);
    connect(pushButton_Import, &QPushButton::clicked, this, &ChannelConfigAdd::pt_Import_clicked);
    connect(pushButton_Cancel, &QPushButton::clicked, this, &ChannelConfigAdd::pt_Cancel_clicked);
    connect(pushButton_Save, &QPushButton::clicked, this, &ChannelConfigAdd::pt_Save_clicked);
    connect(tableWidget_List, &QTableWidget::cellClicked, this, &ChannelConfigAdd::tw_cellClicked);
    connect(tableWidget_List, &QTableWidget::cellDoubleClicked, this, &ChannelConfigAdd::tw_cellDoubleClicked);

    resize(1180, 560);
}

bool ChannelConfigAdd::fixedByModel() const
{
    return m_Record.Mode.startsWith(QStringLiteral("3107A"));
}

QString ChannelConfigAdd::cellText(int row, int column) const
{
    // Type, function and wiring cells show the display text of the stored word.
    const QTableWidgetItem* item = tableWidget_List->item(row, column);
    return item ? Vocabulary::value(item) : QString();
}

void ChannelConfigAdd::setCellText(int row, int column, const QString& text)
{
    const bool word = column == ColType || column == ColFunction || column == ColWire;
    if (QTableWidgetItem* item = tableWidget_List->item(row, column)) {
        if (word)
            Vocabulary::setItem(item, text);
        else
            item->setText(text);
        return;
    }
    auto* item = word ? Vocabulary::item(text) : new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    tableWidget_List->setItem(row, column, item);
}

QCheckBox* ChannelConfigAdd::checkBox(int row, int column) const
{
    QWidget* cell = tableWidget_List->cellWidget(row, column);
    return cell ? cell->findChild<QCheckBox*>() : nullptr;
}

bool ChannelConfigAdd::isChecked(int row, int column) const
{
    const QCheckBox* box = checkBox(row, column);
    return box && box->isChecked();
}

void ChannelConfigAdd::addCheckCell(int row, int column, bool enabled)
{
    auto* cell = new QWidget(tableWidget_List);
    auto* layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* box = new QCheckBox(cell);
    box->setEnabled(enabled);
    layout->addWidget(box, 0, Qt::AlignCenter);
    tableWidget_List->setCellWidget(row, column, cell);
}

void ChannelConfigAdd::fitColumns()
{
    tableWidget_List->resizeColumnsToContents();
    // A little air between the columns of numbers.
    for (int c = ColNumber; c < ColumnCount; ++c)
        tableWidget_List->setColumnWidth(c, tableWidget_List->columnWidth(c) + 8);
}

void ChannelConfigAdd::setData(Collection* driver, const Tool::Struct_ChannelConfig& record)
{
    m_Driver = driver;
    m_Record = record;
    lineEdit_Name->setText(record.Name);
    lineEdit_Mode->setText(record.Mode);
    lineEdit_Number->setText(QString::number(record.Number));

    const QStringList numbers = driver->ChannelNumberList(record.Number, record.Module);
    const int rows = qMax(0, record.Number);
    tableWidget_List->setRowCount(0);
    tableWidget_List->setRowCount(rows);
    const bool selectable = !fixedByModel();
    for (int i = 0; i < rows; ++i) {
        const QString n = numbers.value(i);
        const QString type = driver->TypeList(n.toInt()).value(0);
        addCheckCell(i, ColSelect, selectable);
        setCellText(i, ColRow, QString::number(i + 1));
        setCellText(i, ColNumber, n);
        setCellText(i, ColTag, QStringLiteral("CH") + n);
        setCellText(i, ColType, type);
        setCellText(i, ColFunction, driver->FunctionList(type).value(0));
        setCellText(i, ColWire, driver->WiringList(type).value(0));
        setCellText(i, ColM, QStringLiteral("1"));
        setCellText(i, ColB, QStringLiteral("0"));
        setCellText(i, ColUnit, QStringLiteral("℃"));
        for (int c = ColA_C0; c <= ColB4_C6; ++c)
            setCellText(i, c, QStringLiteral("0"));
        addCheckCell(i, ColLowState, true);
        setCellText(i, ColLow, QStringLiteral("0"));
        addCheckCell(i, ColHightState, true);
        setCellText(i, ColHight, QStringLiteral("100"));
    }
    fitColumns();
}

void ChannelConfigAdd::tw_cellDoubleClicked(int row, int column)
{
    if (m_Editor || !m_Driver || row < 0 || row >= tableWidget_List->rowCount())
        return;
    if (column == ColSelect || column == ColRow || column == ColLowState || column == ColHightState)
        return;
    const bool fixed = fixedByModel();
    if (fixed && (column == ColType || column == ColFunction || column == ColWire || column == ColUnit))
        return;

    const QString text = cellText(row, column);
    QStringList choices;
    bool combo = true;
    switch (column) {
    case ColNumber: choices = m_Driver->ChannelNumberList(0, m_Record.Module); break;
    case ColType: choices = m_Driver->TypeList(cellText(row, ColNumber).toInt()); break;
    case ColFunction: choices = m_Driver->FunctionList(cellText(row, ColType)); break;
    case ColWire: choices = m_Driver->WiringList(cellText(row, ColType)); break;
    case ColUnit: choices = m_Driver->UnitList(QStringLiteral("All")); break;
    default: combo = false; break;
    }

    QWidget* editor = nullptr;
    if (combo) {
        auto* box = new QComboBox(tableWidget_List);
        Vocabulary::fill(box, choices);
        Vocabulary::select(box, text);
        // Picking an entry is a complete edit; commit once the popup has closed.
        connect(box, QOverload<int>::of(&QComboBox::activated), this, [this, box]() {
                if (m_Editor == box)
                    commitEditor();
            }, Qt::QueuedConnection);
        editor = box;
    } else {
        auto* edit = new QLineEdit(text, tableWidget_List);
        if (column != ColTag)
            edit->setValidator(
                new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-0-9.]+$")), edit));
        connect(edit, &QLineEdit::returnPressed, this, [this, edit]() {
            if (m_Editor == edit)
                commitEditor();
        }, Qt::QueuedConnection);
        editor = edit;
    }
    m_Editor = editor;
    m_EditRow = row;
    m_EditColumn = column;
    m_EditOriginal = text;
    tableWidget_List->setCellWidget(row, column, editor);
    // Narrow columns would cut the editor's text: widen while it is open.
    const int wanted = qMax(editor->sizeHint().width(), combo ? 0 : 120);
    if (tableWidget_List->columnWidth(column) < wanted)
        tableWidget_List->setColumnWidth(column, wanted);
    editor->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        edit->selectAll();
}

bool ChannelConfigAdd::commitEditor()
{
    if (!m_Editor)
        return true;
    const auto* box = qobject_cast<QComboBox*>(m_Editor);
    const auto* edit = qobject_cast<QLineEdit*>(m_Editor);
    const QString text = box ? Vocabulary::current(box) : edit ? edit->text() : QString();

    // Lists are stored joined with ","; a tag or a number must not break them.
    if (m_EditColumn == ColTag && text.contains(QLatin1Char(','))) {
        MessageBox::warning(this, tr("警告"), tr("通道标签不许使用逗号!"));
        m_Editor->setFocus();
        return false;
    }
    if (isNumericColumn(m_EditColumn) && !ConfigFile::isNumber(text)) {
        MessageBox::warning(this, tr("警告"), tr("请输入有效的数值！"));
        m_Editor->setFocus();
        return false;
    }

    const int row = m_EditRow;
    const int column = m_EditColumn;
    const QString original = m_EditOriginal;
    setCellText(row, column, text);
    tableWidget_List->removeCellWidget(row, column); // deletes the editor later
    m_Editor = nullptr;
    m_EditRow = m_EditColumn = -1;
    m_EditOriginal.clear();

    // A renumbered channel gets the default tag of its new number; an
    // unchanged number keeps a tag the user gave it.
    if (column == ColNumber && text != original)
        setCellText(row, ColTag, QStringLiteral("CH") + text);
    if (column == ColType && text != original && m_Driver)
        setCellText(row, ColFunction, m_Driver->FunctionList(text).value(0));
    fitColumns();
    return true;
}

void ChannelConfigAdd::tw_cellClicked(int row, int column)
{
    if (m_Editor && (row != m_EditRow || column != m_EditColumn))
        commitEditor();
}

void ChannelConfigAdd::pt_All_clicked()
{
    const bool selectAll = pushButton_All->text() == tr("全选");
    for (int row = 0; row < tableWidget_List->rowCount(); ++row) {
        QCheckBox* box = checkBox(row, ColSelect);
        // A disabled box (3107A: one setting for the whole instrument) stays clear.
        if (box && box->isEnabled())
            box->setChecked(selectAll);
    }
    pushButton_All->setText(selectAll ? tr("取消全选") : tr("全选"));
}

void ChannelConfigAdd::pt_Batch_clicked()
{
    if (!commitEditor())
        return;
    QList<int> rows;
    for (int row = 0; row < tableWidget_List->rowCount(); ++row) {
        const QCheckBox* box = checkBox(row, ColSelect);
        if (box && box->isEnabled() && box->isChecked())
            rows << cellText(row, ColRow).toInt();
    }
    if (rows.isEmpty()) {
        MessageBox::warning(this, tr("警告"), tr("请先选择通道！"));
        return;
    }
    ChannelConfigBatch batch(this);
    batch.setData(m_Driver);
    if (ModalRun::exec(&batch) != QDialog::Accepted)
        return;
    const QStringList values = batch.values();
    for (int number : rows) {
        const int row = number - 1;
        for (int k = 0; k < values.size() && k + ColType < ColumnCount; ++k) {
            const int column = k + ColType;
            const QString& value = values.at(k);
            if (column >= ColA_C0 && column <= ColB4_C6) {
                // "0" stands for "leave this coefficient as it is".
                if (value != QStringLiteral("0"))
                    setCellText(row, column, value);
            } else if (column == ColLowState || column == ColHightState) {
                if (QCheckBox* box = checkBox(row, column))
                    box->setChecked(value == kTrue);
            } else {
                setCellText(row, column, value);
            }
        }
    }
    fitColumns();
}

void ChannelConfigAdd::pt_Import_clicked()
{
    if (!commitEditor())
        return;
    const QString path = FileDialog::getOpenFileName(this, tr("打开文件"), QString(), ConfigFile::filter());
    if (path.isEmpty())
        return;
    ConfigFile::Corrections c;
    if (!ConfigFile::read(path, c)) {
        MessageBox::warning(this, tr("警告"), tr("读取文件失败!"));
        return;
    }
    const QList<QPair<int, const QStringList*>> lists = {
        {ColM, &c.MX_B_M},     {ColB, &c.MX_B_B},     {ColA_C0, &c.A_C0},   {ColB_C1, &c.B_C1},
        {ColC_C2, &c.C_C2},    {ColD_C3, &c.D_C3},    {ColR0_C4, &c.R0_C4}, {ColA4_C5, &c.A4_C5},
        {ColB4_C6, &c.B4_C6}};
    // A file with something other than numbers would corrupt the stored lists;
    // refuse it whole rather than half-apply it.
    const int rows = tableWidget_List->rowCount();
    const ConfigFile::Invalid invalid = ConfigFile::firstInvalid(c, rows);
    if (invalid.found()) {
        qWarning() << "import of" << path << "refused:" << invalid.list << "entry" << invalid.index << invalid.text;
        MessageBox::warning(this, tr("警告"), tr("参数文件中有无效数值!"));
        return;
    }
    for (const auto& entry : lists)
        for (int i = 0; i < entry.second->size() && i < rows; ++i)
            setCellText(i, entry.first, entry.second->at(i));
    fitColumns();
}

void ChannelConfigAdd::pt_Cancel_clicked()
{
    reject();
}

Tool::Struct_ChannelConfig ChannelConfigAdd::record() const
{
    Tool::Struct_ChannelConfig r = m_Record;
    r.Number = tableWidget_List->rowCount();
    QList<QStringList*> lists = {&r.ChannelNumber, &r.Tag, &r.Type, &r.Function, &r.Wire, &r.MX_B_M, &r.MX_B_B,
                                 &r.Unit, &r.A_C0, &r.B_C1, &r.C_C2, &r.D_C3, &r.R0_C4, &r.A4_C5, &r.B4_C6,
                                 &r.Low, &r.Hight};
    for (QStringList* list : lists)
        list->clear();
    r.LowState.clear();
    r.HightState.clear();
    const int columns[] = {ColNumber, ColTag, ColType, ColFunction, ColWire, ColM, ColB, ColUnit, ColA_C0,
                           ColB_C1, ColC_C2, ColD_C3, ColR0_C4, ColA4_C5, ColB4_C6, ColLow, ColHight};
    for (int row = 0; row < r.Number; ++row) {
        for (int k = 0; k < lists.size(); ++k)
            lists[k]->append(cellText(row, columns[k]));
        r.LowState << isChecked(row, ColLowState);
        r.HightState << isChecked(row, ColHightState);
    }
    return r;
}

bool ChannelConfigAdd::checkNumbers(const QStringList& numbers, QString& message)
{
    if (QSet<QString>(numbers.begin(), numbers.end()).size() != numbers.size()) {
        message = tr("通道编号不能重复！");
        return false;
    }
    for (int i = 1; i < numbers.size(); ++i) {
        if (numbers.at(i).toInt() <= numbers.at(i - 1).toInt()) {
            message = tr("通道编号需要递增！");
            return false;
        }
    }
    return true;
}

void ChannelConfigAdd::pt_Save_clicked()
{
    if (!commitEditor())
        return;
    m_Record.Time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const Tool::Struct_ChannelConfig r = record();

    QString message;
    if (!checkNumbers(r.ChannelNumber, message)) {
        MessageBox::warning(this, tr("警告"), message);
        return;
    }
    if (m_Driver && !m_Driver->CheckChannels(ChannelModel::toChannels(r), message)) {
        MessageBox::warning(this, tr("警告"), message);
        return;
    }
    if (!Tool::addChannelConfig(r)) {
        MessageBox::warning(this, tr("警告"), tr("添加数据失败！"));
        return;
    }
    MessageBox::information(this, tr("提示"), tr("添加成功！"));
    accept();
}

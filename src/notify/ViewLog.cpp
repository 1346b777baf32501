#include "ViewLog.h"

#include "AuditLogPdf.h"
#include "MessageBox.h"
#include "Tool.h"
#include "ViewLogSet.h"
#include "Vocabulary.h"

#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString kEditFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
} // namespace

ViewLog::ViewLog(QWidget* parent)
    : ToolPage(parent), m_start(initialStart()), m_end(initialEnd())
{
    setObjectName(QStringLiteral("ViewLog"));

    label_Start = new QLabel(this);
    label_Start->setObjectName(QStringLiteral("label_Start"));
    label_End = new QLabel(this);
    label_End->setObjectName(QStringLiteral("label_End"));
    label_Type = new QLabel(this);
    label_Type->setObjectName(QStringLiteral("label_Type"));

    // The editors show minutes only; the bounds keep their seconds so the
    // initial range covers the whole first and last minute.
    dateTimeEdit_Start = new QDateTimeEdit(this);
    dateTimeEdit_Start->setObjectName(QStringLiteral("dateTimeEdit_Start"));
    dateTimeEdit_Start->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    dateTimeEdit_Start->setDateTime(QDateTime::fromString(m_start, kEditFormat));
    dateTimeEdit_End = new QDateTimeEdit(this);
    dateTimeEdit_End->setObjectName(QStringLiteral("dateTimeEdit_End"));
    dateTimeEdit_End->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    dateTimeEdit_End->setDateTime(QDateTime::fromString(m_end, kEditFormat));

    lineEdit_Type = new QLineEdit(this);
    lineEdit_Type->setObjectName(QStringLiteral("lineEdit_Type"));
    pushButton_Search = new QPushButton(this);
    pushButton_Search->setObjectName(QStringLiteral("pushButton_Search"));

    tableWidget_List = new QTableWidget(0, 3, this);
    tableWidget_List->setObjectName(QStringLiteral("tableWidget_List"));
    tableWidget_List->setColumnWidth(0, 250);
    tableWidget_List->setColumnWidth(1, 150);
    tableWidget_List->setColumnWidth(2, 280);
    tableWidget_List->horizontalHeader()->setStretchLastSection(true);
    tableWidget_List->verticalHeader()->setVisible(false);
    tableWidget_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_List->setSelectionBehavior(QAbstractItemView::SelectRows);

    auto* filter = new QHBoxLayout;
    filter->addWidget(label_Start);
    filter->addWidget(dateTimeEdit_Start);
    filter->addWidget(label_End);
    filter->addWidget(dateTimeEdit_End);
    filter->addWidget(label_Type);
    filter->addWidget(lineEdit_Type);
    filter->addWidget(pushButton_Search);
    filter->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(tableWidget_List, 1);

    connect(pushButton_Search, &QPushButton::clicked, this, &ViewLog::pt_Search_clicked);

    retranslateUi();
    refresh(QString(), QString(), QString());
}

void ViewLog::setContext(SystemContext* context) { m_context = context; }

void ViewLog::retranslateUi()
{
    setWindowTitle(QStringLiteral("ViewLog"));
    label_Start->setText(tr("起始日期："));
    label_End->setText(tr("结束日期："));
    label_Type->setText(tr("操作类型："));
    pushButton_Search->setText(tr("查询"));
    tableWidget_List->setHorizontalHeaderLabels({tr("操作时间"), tr("操作类型"), tr("详细信息")});
    // Listed entries follow the language too; they keep their stored words.
    for (int r = 0; r < tableWidget_List->rowCount(); ++r) {
        if (QTableWidgetItem* type = tableWidget_List->item(r, 1))
            Vocabulary::setItem(type, Vocabulary::value(type));
        if (QTableWidgetItem* details = tableWidget_List->item(r, 2))
            details->setText(Vocabulary::logDetails(Vocabulary::value(details)));
    }
}

void ViewLog::pt_Search_clicked()
{
    m_start = dateTimeEdit_Start->dateTime().toString(kTimeFormat);
    m_end = dateTimeEdit_End->dateTime().toString(kTimeFormat);
    // The log stores its types in Chinese; a translated type is looked up as stored.
    m_type = Vocabulary::value(lineEdit_Type->text().trimmed());
    refresh(m_start, m_end, m_type);
}

void ViewLog::refresh(const QString& start, const QString& end, const QString& type)
{
    tableWidget_List->setRowCount(0);
    QList<Tool::Struct_AuditLog> list;
    if (Tool::getAuditLog(list, start, end, type)) {
        // Each entry becomes the new first row: the latest written is on top.
        for (const Tool::Struct_AuditLog& entry : qAsConst(list)) {
            tableWidget_List->insertRow(0);
            tableWidget_List->setItem(0, 0, new QTableWidgetItem(entry.Time));
            tableWidget_List->setItem(0, 1, Vocabulary::item(entry.Type));
            auto* details = new QTableWidgetItem(Vocabulary::logDetails(entry.Details));
            details->setData(Qt::UserRole, entry.Details);
            tableWidget_List->setItem(0, 2, details);
        }
    }
    tableWidget_List->horizontalHeader()->setStretchLastSection(true);
}

QList<Tool::Struct_AuditLog> ViewLog::listedRows() const
{
    QList<Tool::Struct_AuditLog> rows;
    for (int r = 0; r < tableWidget_List->rowCount(); ++r) {
        auto text = [&](int column) {
            const QTableWidgetItem* item = tableWidget_List->item(r, column);
            return Vocabulary::value(item);
        };
        rows.append({text(0), text(1), text(2)});
    }
    return rows;
}

void ViewLog::deleteLog()
{
    if (!MessageBox::question(this, tr("删除"), tr("确认删除通知？")))
        return;
    // Exactly the listed entries: an unlisted entry of the same second stays.
    const QList<Tool::Struct_AuditLog> rows = listedRows();
    for (const Tool::Struct_AuditLog& row : rows)
        Tool::deleteAuditLogEntry(row.Time, row.Type, row.Details);
    refresh(QString(), QString(), QString());
}

void ViewLog::exportLog()
{
    const QString path = FileDialog::getSaveFileName(this, tr("保存文件"), QString(), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    // The document is in the interface language, like its headings.
    QList<Tool::Struct_AuditLog> rows = listedRows();
    for (Tool::Struct_AuditLog& row : rows) {
        row.Type = Vocabulary::text(row.Type);
        row.Details = Vocabulary::logDetails(row.Details);
    }
    if (AuditLogPdf::write(path, rows))
        MessageBox::information(this, tr("提示"), tr("保存成功！"));
    else
        MessageBox::warning(this, tr("警告"), tr("保存失败！"));
}

void ViewLog::setLog()
{
    ViewLogSet dialog(this);
    dialog.setData(m_context, listedRows());
    dialog.show();
    dialog.exec();
}

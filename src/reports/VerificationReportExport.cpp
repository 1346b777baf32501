#include "VerificationReportExport.h"

#include "MessageBox.h"
#include "ReportData.h"
#include "Tool.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

VerificationReportExport::VerificationReportExport(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VerificationReportExport"));
    setWindowTitle(tr("报表生成"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    auto* data = new QGroupBox(tr("导出数据"), this);
    auto* dgrid = new QGridLayout(data);
    dgrid->addWidget(new QLabel(tr("功能表页："), data), 0, 0);
    const auto box = [data](const char* name, const QString& text) {
        auto* b = new QCheckBox(text, data);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    checkBox_Data = box("checkBox_Data", tr("数据表"));
    checkBox_Vertically1 = box("checkBox_Vertically1", QString());
    checkBox_Horizontally1 = box("checkBox_Horizontally1", QString());
    checkBox_Vertically2 = box("checkBox_Vertically2", QString());
    checkBox_Horizontally2 = box("checkBox_Horizontally2", QString());
    // The data table is always part of a report.
    checkBox_Data->setChecked(true);
    checkBox_Data->setEnabled(false);
    dgrid->addWidget(checkBox_Data, 0, 1);
    dgrid->addWidget(checkBox_Vertically1, 0, 2);
    dgrid->addWidget(checkBox_Horizontally1, 0, 3);
    dgrid->addWidget(checkBox_Vertically2, 0, 4);
    dgrid->addWidget(checkBox_Horizontally2, 0, 5);
    dgrid->addWidget(new QLabel(tr("导出格式:"), data), 1, 0);
    comboBox_Format = new QComboBox(data);
    comboBox_Format->setObjectName(QStringLiteral("comboBox_Format"));
    // CSV: the data table alone, as a file for spreadsheets and scripts.
    comboBox_Format->addItems({QStringLiteral("PDF"), QStringLiteral("Excel"), QStringLiteral("CSV")});
    comboBox_Format->setItemData(2, tr("仅数据表，UTF-8 编码的逗号分隔文件"), Qt::ToolTipRole);
    dgrid->addWidget(comboBox_Format, 1, 1);
    outer->addWidget(data);

    auto* segments = new QGroupBox(tr("多段统计"), this);
    auto* sgrid = new QGridLayout(segments);
    sgrid->addWidget(new QLabel(tr("统计段数："), segments), 0, 0);
    comboBox_Segment = new QComboBox(segments);
    comboBox_Segment->setObjectName(QStringLiteral("comboBox_Segment"));
    for (int i = 1; i <= 6; ++i)
        comboBox_Segment->addItem(QString::number(i));
    sgrid->addWidget(comboBox_Segment, 0, 1);
    sgrid->addWidget(new QLabel(tr("打印间隔："), segments), 0, 2);
    lineEdit_Interval = new QLineEdit(segments);
    lineEdit_Interval->setObjectName(QStringLiteral("lineEdit_Interval"));
    lineEdit_Interval->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]+$")), lineEdit_Interval));
    sgrid->addWidget(lineEdit_Interval, 0, 3);
    sgrid->addWidget(new QLabel(QStringLiteral("s"), segments), 0, 4);
    for (int i = 1; i <= 6; ++i) {
        sgrid->addWidget(new QLabel(tr("时间段："), segments), i, 0);
        auto* start = new QDateTimeEdit(segments);
        start->setObjectName(QStringLiteral("dateTimeEdit_StartTime%1").arg(i));
        start->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        auto* end = new QDateTimeEdit(segments);
        end->setObjectName(QStringLiteral("dateTimeEdit_EndTime%1").arg(i));
        end->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        auto* remark = new QLineEdit(segments);
        remark->setObjectName(QStringLiteral("lineEdit_TimeRemarks%1").arg(i));
        sgrid->addWidget(start, i, 1);
        sgrid->addWidget(new QLabel(QStringLiteral("-"), segments), i, 2);
        sgrid->addWidget(end, i, 3);
        sgrid->addWidget(new QLabel(tr("备注："), segments), i, 4);
        sgrid->addWidget(remark, i, 5);
        m_Starts << start;
        m_Ends << end;
        m_Remarks << remark;
    }
    outer->addWidget(segments);

    auto* route = new QHBoxLayout;
    route->addWidget(new QLabel(tr("保存路径："), this));
    lineEdit_Route = new QLineEdit(this);
    lineEdit_Route->setObjectName(QStringLiteral("lineEdit_Route"));
    lineEdit_Route->setEnabled(false);
    route->addWidget(lineEdit_Route, 1);
    pushButton_Route = new QPushButton(tr("选择"), this);
    pushButton_Route->setObjectName(QStringLiteral("pushButton_Route"));
    route->addWidget(pushButton_Route);
    pushButton_OK = new QPushButton(tr("确定"), this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    route->addWidget(pushButton_OK);
    outer->addLayout(route);

    connect(pushButton_OK, &QPushButton::clicked, this, &VerificationReportExport::pt_OK_clicked);
    connect(comboBox_Format, &QComboBox::currentTextChanged, this, [this] { formatChanged(); });
    connect(pushButton_Route, &QPushButton::clicked, this, &VerificationReportExport::pt_Route_clicked);
    connect(comboBox_Segment, QOverload<int>::of(&QComboBox::activated), this,
            &VerificationReportExport::pt_Segment_clicked);
    const QList<void (VerificationReportExport::*)(QDateTime)> chained{
        &VerificationReportExport::dateTimeChanged1_clicked, &VerificationReportExport::dateTimeChanged2_clicked,
        &VerificationReportExport::dateTimeChanged3_clicked, &VerificationReportExport::dateTimeChanged4_clicked,
        &VerificationReportExport::dateTimeChanged5_clicked, &VerificationReportExport::dateTimeChanged6_clicked};
    for (int i = 0; i < 6; ++i)
        connect(m_Ends.at(i), &QDateTimeEdit::dateTimeChanged, this, chained.at(i));
}

void VerificationReportExport::setData(Struct_ReportOptions* options)
{
    m_Options = options;
    m_Filled = false;
    lineEdit_Interval->setText(options->ScanInterval);
    const int count = qBound(1, options->SegmentCount.toInt(), 6);
    comboBox_Segment->setCurrentIndex(count - 1);
    for (int i = 0; i < 6; ++i) {
        const bool previous = count > 1 && i < count;
        m_Starts.at(i)->setDateTime(previous ? options->SegmentStart.value(i, options->Start) : options->Start);
        m_Ends.at(i)->setDateTime(previous ? options->SegmentEnd.value(i, options->End) : options->End);
        m_Remarks.at(i)->setText(previous ? options->SegmentRemarks.value(i) : QString());
    }
    enableRows(count);
    m_Filled = true;

    const QString leftQuantity = Vocabulary::text(Tool::unitQuantity(options->LeftUnit));
    const QString rightQuantity =
        options->RightUnit.isEmpty() ? QString() : Vocabulary::text(Tool::unitQuantity(options->RightUnit));
    // Named as the report names them: with the unit when both groups have one quantity.
    QString left, right;
    ReportData::groupNames(options->LeftUnit, options->RightUnit, leftQuantity, rightQuantity, &left, &right);
    checkBox_Vertically1->setVisible(!options->LeftUnit.isEmpty());
    checkBox_Horizontally1->setVisible(!options->LeftUnit.isEmpty());
    checkBox_Vertically2->setVisible(!options->RightUnit.isEmpty());
    checkBox_Horizontally2->setVisible(!options->RightUnit.isEmpty());
    // A horizontal analysis compares channels: it needs two at least.
    m_AnalysisEnabled = {options->LeftCount > 1, true, options->RightCount > 1, true};
    formatChanged();
    checkBox_Vertically1->setText((options->LeftUnit.isEmpty() ? QString() : left) + tr("横向分析表"));
    checkBox_Horizontally1->setText((options->LeftUnit.isEmpty() ? QString() : left) + tr("竖向分析表"));
    checkBox_Vertically2->setText(right + tr("横向分析表"));
    checkBox_Horizontally2->setText(right + tr("竖向分析表"));
}

// A CSV file holds the data table only: the analysis tables are not offered.
void VerificationReportExport::formatChanged()
{
    const bool csv = comboBox_Format->currentText() == QLatin1String("CSV");
    const QList<QCheckBox*> boxes{checkBox_Vertically1, checkBox_Horizontally1, checkBox_Vertically2,
                                  checkBox_Horizontally2};
    for (int i = 0; i < boxes.size(); ++i)
        boxes.at(i)->setEnabled(!csv && m_AnalysisEnabled.value(i, true));
}

void VerificationReportExport::enableRows(int count)
{
    for (int i = 0; i < 6; ++i) {
        m_Starts.at(i)->setEnabled(i < count);
        m_Ends.at(i)->setEnabled(i < count);
        m_Remarks.at(i)->setEnabled(i < count);
    }
}

void VerificationReportExport::pt_Segment_clicked(int index)
{
    enableRows(index + 1);
}

void VerificationReportExport::chain(int row, const QDateTime& time)
{
    if (!m_Filled || row >= 5)
        return;
    m_Starts.at(row + 1)->setDateTime(time);
}

void VerificationReportExport::dateTimeChanged1_clicked(QDateTime time) { chain(0, time); }
void VerificationReportExport::dateTimeChanged2_clicked(QDateTime time) { chain(1, time); }
void VerificationReportExport::dateTimeChanged3_clicked(QDateTime time) { chain(2, time); }
void VerificationReportExport::dateTimeChanged4_clicked(QDateTime time) { chain(3, time); }
void VerificationReportExport::dateTimeChanged5_clicked(QDateTime time) { chain(4, time); }
void VerificationReportExport::dateTimeChanged6_clicked(QDateTime) {}

void VerificationReportExport::pt_Route_clicked()
{
    const QString format = comboBox_Format->currentText();
    const bool pdf = format == QLatin1String("PDF");
    const bool csv = format == QLatin1String("CSV");
    // Workbooks are Office Open XML: offered and suggested as ".xlsx"; a name
    // the user types with ".xls" is kept as typed.
    QString path = FileDialog::getSaveFileName(this, tr("保存文件"), QString(),
                                               pdf   ? QStringLiteral("PDF (*.pdf)")
                                               : csv ? QStringLiteral("CSV (*.csv)")
                                                     : QStringLiteral("Excel (*.xlsx);;Excel (*.xls)"));
    if (path.isNull())
        return;
    // A file name typed without a suffix gets the format's; a dot elsewhere
    // in the path ("D:/reports.2026/run") does not count.
    if (!path.isEmpty() && !QFileInfo(path).fileName().contains(QLatin1Char('.')))
        path += pdf ? QStringLiteral(".pdf") : csv ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
    lineEdit_Route->setText(path);
}

QString VerificationReportExport::check(const Input& in)
{
    const bool pdf = in.format == QLatin1String("PDF");
    const bool csv = in.format == QLatin1String("CSV");
    if (pdf   ? !in.path.endsWith(QLatin1String(".pdf"))
        : csv ? !in.path.endsWith(QLatin1String(".csv"))
              : !(in.path.endsWith(QLatin1String(".xlsx")) || in.path.endsWith(QLatin1String(".xls"))))
        return tr("路径设置错误!");
    QList<QDateTime> sequence;
    for (int i = 0; i < in.starts.size(); ++i) {
        sequence << in.starts.at(i) << in.ends.value(i);
        if (in.remarks.value(i).isEmpty())
            return tr("备注信息不能为空!");
    }
    // Times are compared to the second: the editors show no milliseconds.
    const auto earlier = [](const QDateTime& a, const QDateTime& b) { return a.secsTo(b) >= 1; };
    if (!sequence.isEmpty() && earlier(sequence.first(), in.rangeStart))
        return tr("开始时间小于开始采集时间!");
    if (!sequence.isEmpty() && earlier(in.rangeEnd, sequence.last()))
        return tr("结束时间大于结束采集时间!");
    for (int i = 1; i < sequence.size(); ++i)
        if (earlier(sequence.at(i), sequence.at(i - 1)))
            return tr("分段时间错误!");
    // Whole milliseconds, as the report thread takes its row step.
    const qint64 print = ReportData::milliseconds(in.printInterval);
    const qint64 scan = ReportData::milliseconds(in.scanInterval);
    if (scan <= 0 || print < scan || print % scan != 0)
        return tr("采集间隔设置错误!");
    return QString();
}

void VerificationReportExport::pt_OK_clicked()
{
    if (!m_Options)
        return;
    const int count = comboBox_Segment->currentIndex() + 1;
    Input in;
    in.format = comboBox_Format->currentText();
    in.path = lineEdit_Route->text();
    in.printInterval = lineEdit_Interval->text();
    in.scanInterval = m_Options->ScanInterval;
    in.rangeStart = m_Options->Start;
    in.rangeEnd = m_Options->End;
    for (int i = 0; i < count; ++i) {
        in.starts << m_Starts.at(i)->dateTime();
        in.ends << m_Ends.at(i)->dateTime();
        in.remarks << m_Remarks.at(i)->text();
    }
    const QString problem = check(in);
    if (!problem.isEmpty()) {
        MessageBox::information(this, tr("提示"), problem);
        return;
    }
    m_Options->SegmentCount = comboBox_Segment->currentText();
    m_Options->PrintInterval = in.printInterval;
    m_Options->SegmentStart = in.starts;
    m_Options->SegmentEnd = in.ends;
    m_Options->SegmentRemarks = in.remarks;
    m_Options->DataTable = checkBox_Data->isChecked();
    const bool tables = in.format != QLatin1String("CSV");
    m_Options->LeftHorizontal = tables && checkBox_Vertically1->isChecked();
    m_Options->LeftVertical = tables && checkBox_Horizontally1->isChecked();
    m_Options->RightHorizontal = tables && checkBox_Vertically2->isChecked();
    m_Options->RightVertical = tables && checkBox_Horizontally2->isChecked();
    m_Options->Format = in.format;
    m_Options->Path = in.path;
    accept();
}

#include "VerificationReport.h"

#include "ChartView.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "ReportData.h"
#include "ReportJob.h"
#include "SystemContext.h"
#include "Tool.h"
#include "Vocabulary.h"
#include "VerificationReportExport.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtDebug>

#include <cfloat>
#include <cmath>

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
}

VerificationReport::VerificationReport(QWidget* parent) : ToolPage(parent)
{
    setObjectName(QStringLiteral("VerificationReport"));
    buildUi();
    connect(this, &VerificationReport::MessageBox_signals, this, &VerificationReport::MessageBox_slots,
            Qt::QueuedConnection);
    connect(this, &VerificationReport::Progress_signals, this, &VerificationReport::Progress_slots,
            Qt::QueuedConnection);
    query(QString());
}

VerificationReport::~VerificationReport()
{
    // The window keeps a busy page; should it go anyway, the report stops
    // and its thread ends before the page does.
    m_Cancel = true;
    disconnect(this, &VerificationReport::MessageBox_signals, nullptr, nullptr);
    disconnect(this, &VerificationReport::Progress_signals, nullptr, nullptr);
    if (m_Worker)
        m_Worker->wait();
}

void VerificationReport::buildUi()
{
    auto* outer = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    auto* queryRow = new QHBoxLayout;
    lineEdit_Query = new QLineEdit(this);
    lineEdit_Query->setObjectName(QStringLiteral("lineEdit_Query"));
    pushButton_Query = new QPushButton(tr("查询"), this);
    pushButton_Query->setObjectName(QStringLiteral("pushButton_Query"));
    queryRow->addWidget(lineEdit_Query, 1);
    queryRow->addWidget(pushButton_Query);
    left->addLayout(queryRow);
    treeWidget_Device = new QTreeWidget(this);
    treeWidget_Device->setObjectName(QStringLiteral("treeWidget_Device"));
    treeWidget_Device->setHeaderLabels({tr("项目列表")});
    left->addWidget(treeWidget_Device, 2);
    plainTextEdit_Data = new QPlainTextEdit(this);
    plainTextEdit_Data->setObjectName(QStringLiteral("plainTextEdit_Data"));
    plainTextEdit_Data->setReadOnly(true);
    left->addWidget(plainTextEdit_Data, 1);
    outer->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    auto* tools = new QGridLayout;
    toolButton_CalibrationReport = new QToolButton(this);
    toolButton_CalibrationReport->setObjectName(QStringLiteral("toolButton_CalibrationReport"));
    toolButton_CalibrationReport->setText(tr("报表生成"));
    toolButton_CalibrationReport->setEnabled(false);
    tools->addWidget(toolButton_CalibrationReport, 0, 0, 3, 1);

    const auto dateTime = [this](const char* name) {
        auto* e = new QDateTimeEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return e;
    };
    const auto edit = [this](const char* name, const QString& text) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    const auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    tools->addWidget(new QLabel(tr("时间轴-标注线设置："), this), 0, 1);
    dateTimeEdit_TimeTagging = dateTime("dateTimeEdit_TimeTagging");
    tools->addWidget(dateTimeEdit_TimeTagging, 0, 2);
    tools->addWidget(new QLabel(tr("备注："), this), 0, 3);
    lineEdit_TimeRemarks = edit("lineEdit_TimeRemarks", QString());
    tools->addWidget(lineEdit_TimeRemarks, 0, 4);
    pushButton_TimeAdd = button("pushButton_TimeAdd", tr("添加"));
    pushButton_TimeDelete = button("pushButton_TimeDelete", tr("删除"));
    pushButton_TimeAdd->setEnabled(false);
    pushButton_TimeDelete->setEnabled(false);
    tools->addWidget(pushButton_TimeAdd, 0, 5);
    tools->addWidget(pushButton_TimeDelete, 0, 6);

    tools->addWidget(new QLabel(tr("时间设置："), this), 1, 1);
    dateTimeEdit_DisplayRange1 = dateTime("dateTimeEdit_DisplayRange1");
    dateTimeEdit_DisplayRange2 = dateTime("dateTimeEdit_DisplayRange2");
    auto* range = new QHBoxLayout;
    range->addWidget(dateTimeEdit_DisplayRange1);
    range->addWidget(new QLabel(QStringLiteral("-"), this));
    range->addWidget(dateTimeEdit_DisplayRange2);
    tools->addLayout(range, 1, 2, 1, 3);
    pushButton_DisplayRange = button("pushButton_DisplayRange", tr("设定"));
    tools->addWidget(pushButton_DisplayRange, 1, 5);

    auto* axes = new QHBoxLayout;
    axes->addWidget(new QLabel(tr("左轴设置："), this));
    lineEdit_LeftRange1 = edit("lineEdit_LeftRange1", QStringLiteral("20"));
    lineEdit_LeftRange2 = edit("lineEdit_LeftRange2", QStringLiteral("120"));
    axes->addWidget(lineEdit_LeftRange1);
    axes->addWidget(new QLabel(QStringLiteral("-"), this));
    axes->addWidget(lineEdit_LeftRange2);
    label_RightRange = new QLabel(tr("右轴设置："), this);
    label_RightRange->setObjectName(QStringLiteral("label_RightRange"));
    lineEdit_RightRange1 = edit("lineEdit_RightRange1", QStringLiteral("20"));
    label_RightRange1 = new QLabel(QStringLiteral("-"), this);
    label_RightRange1->setObjectName(QStringLiteral("label_RightRange1"));
    lineEdit_RightRange2 = edit("lineEdit_RightRange2", QStringLiteral("120"));
    axes->addWidget(label_RightRange);
    axes->addWidget(lineEdit_RightRange1);
    axes->addWidget(label_RightRange1);
    axes->addWidget(lineEdit_RightRange2);
    tools->addWidget(new QLabel(QString(), this), 2, 1);
    tools->addLayout(axes, 2, 1, 1, 4);
    pushButton_Range = button("pushButton_Range", tr("设定"));
    tools->addWidget(pushButton_Range, 2, 5);
    right->addLayout(tools);

    verticalLayout_Chart = new QVBoxLayout;
    verticalLayout_Chart->setObjectName(QStringLiteral("verticalLayout_Chart"));
    m_Chart = new ChartView(this);
    m_Chart->initReportView();
    verticalLayout_Chart->addWidget(m_Chart);
    right->addLayout(verticalLayout_Chart, 1);
    outer->addLayout(right, 3);

    for (QWidget* w : {static_cast<QWidget*>(label_RightRange), static_cast<QWidget*>(lineEdit_RightRange1),
                       static_cast<QWidget*>(label_RightRange1), static_cast<QWidget*>(lineEdit_RightRange2)})
        w->hide();

    m_Menu = new QMenu(this);
    m_ViewAction = new QAction(tr("查看项目"), this);
    m_DeleteAction = new QAction(tr("删除项目"), this);
    m_Menu->addAction(m_ViewAction);
    m_Menu->addAction(m_DeleteAction);

    connect(pushButton_Query, &QPushButton::clicked, this, &VerificationReport::pt_Query_clicked);
    connect(pushButton_Range, &QPushButton::clicked, this, &VerificationReport::pt_Range_clicked);
    connect(pushButton_DisplayRange, &QPushButton::clicked, this, &VerificationReport::pt_DisplayRange_clicked);
    connect(pushButton_TimeAdd, &QPushButton::clicked, this, &VerificationReport::pt_TaggingAdd_clicked);
    connect(pushButton_TimeDelete, &QPushButton::clicked, this, &VerificationReport::pt_TaggingDelete_clicked);
    connect(toolButton_CalibrationReport, &QToolButton::clicked, this,
            &VerificationReport::pt_CalibrationReport_clicked);
    connect(m_Menu, &QMenu::triggered, this, &VerificationReport::onGrpMenuTriggered);
    connect(treeWidget_Device, &QTreeWidget::itemClicked, this, &VerificationReport::treeItemChanged);
    connect(treeWidget_Device, &QTreeWidget::itemDoubleClicked, this, &VerificationReport::treeDoubleChanged);
}

void VerificationReport::setContext(SystemContext* context)
{
    m_Context = context;
}

bool VerificationReport::IsIdle() const
{
    return !m_Writing && !(m_Worker && m_Worker->isRunning());
}

// --- projects --------------------------------------------------------------------

void VerificationReport::pt_Query_clicked()
{
    query(lineEdit_Query->text());
}

void VerificationReport::query(const QString& text)
{
    // The text is matched literally: a quote, % or _ is no pattern.
    QList<Tool::Struct_Parameters> list;
    if (!Tool::queryParameters(list, text))
        return;
    treeWidget_Device->clear();
    treeWidget_Device->setColumnCount(1);
    treeWidget_Device->setHeaderLabels({tr("项目列表")});
    m_Projects.clear();
    for (int i = list.size() - 1; i >= 0; --i)
        m_Projects << list.at(i);
    const Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    for (const Tool::Struct_Parameters& p : qAsConst(m_Projects)) {
        auto* item = new QTreeWidgetItem(treeWidget_Device, {p.Start + QStringLiteral("  ") + p.Name});
        item->setFlags(flags);
        item->setCheckState(0, Qt::Unchecked);
        for (const QString& channel : p.Channel) {
            auto* child = new QTreeWidgetItem(item, {channel});
            child->setFlags(flags);
            child->setCheckState(0, Qt::Unchecked);
        }
    }
}

void VerificationReport::treeItemChanged(QTreeWidgetItem* item, int)
{
    if (!item)
        return;
    QTreeWidgetItem* project = item->parent() ? item->parent() : item;
    if (item->checkState(0) == Qt::Checked) {
        // One project at a time.
        for (int i = 0; i < treeWidget_Device->topLevelItemCount(); ++i) {
            QTreeWidgetItem* other = treeWidget_Device->topLevelItem(i);
            if (other == project)
                continue;
            other->setCheckState(0, Qt::Unchecked);
            for (int c = 0; c < other->childCount(); ++c)
                other->child(c)->setCheckState(0, Qt::Unchecked);
        }
    }
    if (!item->parent()) {
        for (int c = 0; c < item->childCount(); ++c)
            item->child(c)->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Checked : Qt::Unchecked);
        return;
    }
    int checked = 0;
    for (int c = 0; c < project->childCount(); ++c)
        checked += project->child(c)->checkState(0) == Qt::Checked;
    project->setCheckState(0, checked == 0                      ? Qt::Unchecked
                              : checked == project->childCount() ? Qt::Checked
                                                                 : Qt::PartiallyChecked);
}

QTreeWidgetItem* VerificationReport::firstChosenProject() const
{
    for (int i = 0; i < treeWidget_Device->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = treeWidget_Device->topLevelItem(i);
        if (item->checkState(0) != Qt::Unchecked)
            return item;
    }
    return nullptr;
}

void VerificationReport::treeDoubleChanged(QTreeWidgetItem*, int)
{
    viewProject();
}

void VerificationReport::viewProject()
{
    QTreeWidgetItem* item = firstChosenProject();
    if (!item)
        return;
    const int index = treeWidget_Device->indexOfTopLevelItem(item);
    const Tool::Struct_Parameters project = m_Projects.value(index);
    QList<bool> flags;
    for (int c = 0; c < item->childCount(); ++c)
        flags << (item->child(c)->checkState(0) == Qt::Checked);

    QVector<qint64> times;
    QVector<QVector<double>> columns;
    // As many columns as the project has channels, whatever the first row holds.
    if (!Tool::getParametersTable(project.Name, project.Channel.size(), &times, &columns))
        return;
    if (times.isEmpty()) {
        MessageBox::information(this, tr("提示"), tr("当前项目没有采集的数据!"));
        return;
    }
    m_Project = project;
    m_ChannelFlags = flags;
    m_Times = times;
    m_Columns = columns;

    // Project information.
    plainTextEdit_Data->clear();
    const QString comma = QStringLiteral(",");
    const QStringList lines{tr("项目名称:") + project.Name,
                            tr("创建时间:") + project.Time,
                            QString(),
                            tr("使用的采集设备"),
                            tr("型号：") + project.DeviceMode.join(comma),
                            tr("序列号：") + project.SerialNumber.join(QStringLiteral(";")),
                            tr("通讯方式：") + Vocabulary::texts(project.SignalMode).join(comma),
                            tr("IP/COM：") + project.IP_COM.join(comma),
                            tr("Port/BaudRate：") + project.Port_BaudRate.join(comma),
                            tr("扫描间隔：") + project.ScanInterval + QStringLiteral("s"),
                            tr("扫描速率：") + Vocabulary::text(project.ScanRate),
                            tr("通道文件名：") + project.ChannelConfig.join(comma),
                            tr("通道数量：") + QString::number(flags.size()),
                            QString(),
                            tr("相关参数"),
                            tr("数据采集开始时间：") + project.Start,
                            tr("数据采集终止时间：") + project.End,
                            tr("通道编号：") + project.Channel.join(comma),
                            tr("通道单位：") + project.Unit.join(comma)};
    for (const QString& line : lines)
        plainTextEdit_Data->appendPlainText(line);

    // Axes: the first unit of the pair on the left.
    const QStringList pair = Tool::unitPair(project.Unit);
    QList<bool> axisFlags;
    for (const QString& unit : project.Unit)
        axisFlags << (unit == pair.value(0));
    const int decimals = m_Context ? m_Context->DataAccuracy : 2;
    m_Chart->clearSeries();
    m_Chart->setReportSeries(decimals, project.Name, project.Channel, pair.value(0), pair.value(1), axisFlags);
    const bool rightAxis = !pair.value(1).isEmpty();
    for (QWidget* w : {static_cast<QWidget*>(label_RightRange), static_cast<QWidget*>(lineEdit_RightRange1),
                       static_cast<QWidget*>(label_RightRange1), static_cast<QWidget*>(lineEdit_RightRange2)})
        w->setVisible(rightAxis);

    // Chart data and per-channel statistics.
    const int n = project.Channel.size();
    QList<ChartStatistics> statistics;
    double low[2] = {DBL_MAX, DBL_MAX}, high[2] = {-DBL_MAX, -DBL_MAX};
    bool any[2] = {false, false};
    for (int i = 0; i < n && i < m_Columns.size(); ++i) {
        const QVector<double>& column = m_Columns.at(i);
        // Values that are no number (NaN) are gaps: in no statistic, on no axis.
        ChartStatistics s;
        int numbers = 0;
        for (double v : column) {
            if (!std::isfinite(v))
                continue;
            s.sum += v;
            if (numbers == 0 || v < s.minimum)
                s.minimum = v;
            if (numbers == 0 || v > s.maximum)
                s.maximum = v;
            ++numbers;
        }
        s.average = numbers > 0 ? s.sum / numbers : 0;
        statistics << s;
        m_Chart->setSeriesData(i, m_Times, column);
        if (numbers == 0)
            continue;
        const int axis = axisFlags.value(i) ? 0 : 1;
        any[axis] = true;
        low[axis] = std::min(low[axis], s.minimum);
        high[axis] = std::max(high[axis], s.maximum);
    }
    const QDateTime start = QDateTime::fromString(project.Start, kTimeFormat);
    const QDateTime end = QDateTime::fromString(project.End, kTimeFormat);
    dateTimeEdit_DisplayRange1->setDateTime(start);
    dateTimeEdit_TimeTagging->setDateTime(start);
    dateTimeEdit_DisplayRange2->setDateTime(end);
    m_Chart->setTimeRange(start, end);
    double bounds[4];
    for (int axis = 0; axis < 2; ++axis) {
        bounds[2 * axis] = (any[axis] ? low[axis] : 0) - 1;
        bounds[2 * axis + 1] = (any[axis] ? high[axis] : 0) + 1;
    }
    lineEdit_LeftRange1->setText(QString::number(bounds[0], 'f', 2));
    lineEdit_LeftRange2->setText(QString::number(bounds[1], 'f', 2));
    lineEdit_RightRange1->setText(QString::number(bounds[2], 'f', 2));
    lineEdit_RightRange2->setText(QString::number(bounds[3], 'f', 2));
    m_Chart->setValueRanges(bounds[0], bounds[1], bounds[2], bounds[3]);
    m_Chart->setStatistics(statistics);
    for (int i = 0; i < flags.size(); ++i)
        if (!flags.at(i))
            m_Chart->hideSeries(i);
    pushButton_TimeAdd->setEnabled(true);
    pushButton_TimeDelete->setEnabled(true);

    // Report options of this view.
    m_Options.ScanInterval = project.ScanInterval;
    m_Options.LeftUnit = pair.value(0);
    m_Options.RightUnit = pair.value(1);
    const auto countContaining = [&project](const QString& unit) {
        return unit.isEmpty() ? 0 : project.Unit.filter(unit).size();
    };
    m_Options.LeftCount = countContaining(m_Options.LeftUnit);
    m_Options.RightCount = countContaining(m_Options.RightUnit);
    m_Options.SegmentCount = QStringLiteral("1");
    m_Options.Start = start;
    m_Options.End = end;
    toolButton_CalibrationReport->setEnabled(true);
}

// --- ranges and tag lines -------------------------------------------------------------

void VerificationReport::pt_DisplayRange_clicked()
{
    m_Options.Start = dateTimeEdit_DisplayRange1->dateTime();
    m_Options.End = dateTimeEdit_DisplayRange2->dateTime();
    m_Chart->setTimeRange(m_Options.Start, m_Options.End);
}

void VerificationReport::pt_Range_clicked()
{
    m_Chart->setValueRanges(lineEdit_LeftRange1->text().toDouble(), lineEdit_LeftRange2->text().toDouble(),
                            lineEdit_RightRange1->text().toDouble(), lineEdit_RightRange2->text().toDouble());
}

void VerificationReport::pt_TaggingAdd_clicked()
{
    const QString remark = lineEdit_TimeRemarks->text();
    if (remark.isEmpty()) {
        MessageBox::information(this, tr("警告"), tr("备注信息不能为空!"));
        return;
    }
    if (remark.size() >= 7) {
        MessageBox::information(this, tr("警告"), tr("备注信息数超限!"));
        return;
    }
    if (!m_Chart->addTaggingLine(dateTimeEdit_TimeTagging->dateTime(), remark))
        MessageBox::information(this, tr("警告"), tr("添加标注线超量!"));
}

void VerificationReport::pt_TaggingDelete_clicked()
{
    m_Chart->clearTaggingLines();
}

// --- report --------------------------------------------------------------------------

void VerificationReport::pt_CalibrationReport_clicked()
{
    if (!IsIdle())
        return;
    // The picture is taken here, on the window's thread, as an image the
    // report thread may read.
    m_ChartImage = m_Chart->grab().toImage();
    VerificationReportExport dialog(this);
    dialog.setData(&m_Options);
    if (ModalRun::exec(&dialog) != QDialog::Accepted)
        return;

    ReportJob job;
    job.options = m_Options;
    job.chart = m_ChartImage;
    job.decimals = m_Context ? m_Context->DataAccuracy : 2;

    m_Cancel = false;
    m_Writing = true;
    if (!m_Progress) {
        m_Progress = new QProgressDialog(this);
        m_Progress->setObjectName(QStringLiteral("progressDialog_Report"));
        m_Progress->setWindowTitle(tr("报表生成"));
        m_Progress->setCancelButtonText(tr("取消"));
        m_Progress->setMinimumDuration(0);
        m_Progress->setAutoClose(false);
        m_Progress->setAutoReset(false);
        m_Progress->setWindowModality(Qt::WindowModal);
        connect(m_Progress, &QProgressDialog::canceled, this, [this] { m_Cancel = true; });
    }
    m_Progress->setLabelText(tr("数据导出中，请稍等..."));
    m_Progress->setRange(0, 0);
    m_Progress->setValue(0);
    m_Progress->show();

    m_FontMissing = false;
    // The thinning of a long project runs on the worker too, so the page
    // never freezes before the progress shows. The copies share the page's
    // data (implicit sharing) until either side changes it.
    const Tool::Struct_Parameters project = m_Project;
    const QVector<qint64> times = m_Times;
    const QVector<QVector<double>> columns = m_Columns;
    const QList<bool> flags = m_ChannelFlags;
    QThread* worker = QThread::create([this, job, project, times, columns, flags]() mutable {
        ReportData::prepare(project, times, columns, flags, job.options.PrintInterval, &job.project, &job.times,
                            &job.columns, job.options.SegmentStart, job.options.SegmentEnd);
        bool fontMissing = false;
        QString failure;
        const bool ok = job.run([this](qint64 done, qint64 total) { emit Progress_signals(done, total); }, &m_Cancel,
                                &fontMissing, &failure);
        m_FontMissing = fontMissing;
        {
            const std::lock_guard<std::mutex> lock(m_FailureMutex);
            m_Failure = failure;
        }
        emit MessageBox_signals(ok);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    m_Worker = worker;
    worker->start();
}

void VerificationReport::Progress_slots(qint64 done, qint64 total)
{
    if (!m_Progress || total <= 0)
        return;
    // Scaled to the dialog's int range, whatever the totals.
    m_Progress->setRange(0, 1000);
    m_Progress->setValue(static_cast<int>(1000 * done / total));
    m_Progress->setLabelText(tr("数据导出中，请稍等...") + QStringLiteral(" %1 / %2").arg(done).arg(total));
}

void VerificationReport::MessageBox_slots(bool ok)
{
    const bool cancelled = m_Cancel.load();
    if (m_Worker)
        m_Worker->wait();
    m_Writing = false;
    if (m_Progress)
        m_Progress->hide();
    if (cancelled && !ok)
        MessageBox::information(this, tr("提示"), tr("报表生成已取消。"));
    else if (ok && m_FontMissing.load())
        // Written, but its Chinese text is boxes: not a plain success.
        MessageBox::warning(this, tr("警告"),
                            tr("报表已生成，但未找到中文字体：PDF中的中文显示为方框。请安装中文字体（如 fonts-noto-cjk）后重新生成。"));
    else if (ok)
        MessageBox::information(this, tr("提示"), tr("报表生成成功!"));
    else {
        QString failure;
        {
            const std::lock_guard<std::mutex> lock(m_FailureMutex);
            failure = m_Failure;
        }
        // The fixed first line, then why (the disk is full, the file is open elsewhere, …).
        const QString first = tr("数据异常，生成报表失败!");
        MessageBox::information(this, tr("提示"), failure.isEmpty() ? first : first + QLatin1Char('\n') + failure);
    }
}

// --- delete and menu ---------------------------------------------------------------------

void VerificationReport::deleteProject()
{
    QTreeWidgetItem* item = firstChosenProject();
    if (!item) {
        MessageBox::information(this, tr("提示"), tr("请先选择需要删除的项目!"));
        return;
    }
    const Tool::Struct_Parameters project = m_Projects.value(treeWidget_Device->indexOfTopLevelItem(item));
    // The data go with no way back: ask first.
    if (!MessageBox::question(this, tr("提示"), tr("确定删除项目 %1？").arg(project.Name)))
        return;
    if (!Tool::deleteParameters(project.Name))
        MessageBox::information(this, tr("警告"), tr("删除数据失败!"));
    if (!Tool::deleteParametersData(project.Name))
        MessageBox::information(this, tr("警告"), tr("删除数据失败!"));
    // The viewed project goes with its view: nothing left to report.
    if (project.Name == m_Project.Name && !m_Times.isEmpty())
        clearView();
    query(QString());
}

void VerificationReport::clearView()
{
    m_Project = Tool::Struct_Parameters();
    m_ChannelFlags.clear();
    m_Times.clear();
    m_Columns.clear();
    plainTextEdit_Data->clear();
    m_Chart->clearTaggingLines();
    m_Chart->clearSeries();
    toolButton_CalibrationReport->setEnabled(false);
    pushButton_TimeAdd->setEnabled(false);
    pushButton_TimeDelete->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(label_RightRange), static_cast<QWidget*>(lineEdit_RightRange1),
                       static_cast<QWidget*>(label_RightRange1), static_cast<QWidget*>(lineEdit_RightRange2)})
        w->hide();
}

void VerificationReport::onGrpMenuTriggered(QAction* action)
{
    if (action == m_ViewAction)
        viewProject();
    else if (action == m_DeleteAction)
        deleteProject();
}

void VerificationReport::contextMenuEvent(QContextMenuEvent* event)
{
    if (treeWidget_Device->topLevelItemCount() == 0 || !treeWidget_Device->currentItem())
        return;
    const QPoint local = treeWidget_Device->mapFromGlobal(event->globalPos());
    if (!treeWidget_Device->rect().contains(local))
        return;
    m_Menu->popup(event->globalPos());
}

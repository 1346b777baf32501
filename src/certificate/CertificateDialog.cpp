#include "CertificateDialog.h"

#include "CalibrationStore.h"
#include "LabRecords.h"
#include "MessageBox.h"
#include "Tool.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace {

const QString kDate = QStringLiteral("yyyy-MM-dd");

QString labRecord(const char* key)
{
    QString value;
    Tool::getLabRecord(QString::fromLatin1(key), value);
    return value;
}

} // namespace

CertificateDialog::CertificateDialog(const QString& startTime, int position, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CertificateDialog"));
    setWindowTitle(tr("出具校准证书"));
    QList<Tool::Struct_CalibrationHistory> rows;
    Tool::getCalibrationRunHistory(startTime, rows);
    m_HasRun = Certificate::fromHistory(rows, position, m_Content);
    m_Content.labName = labRecord("LabName");
    m_Content.labAddress = labRecord("LabAddress");
    m_Content.accreditation = labRecord("Accreditation");
    m_Signatories = Certificate::parseSignatories(labRecord("Signatories"));
    QList<Tool::Struct_Certificate> issued;
    Tool::getCertificates(issued);
    for (const Tool::Struct_Certificate& c : qAsConst(issued))
        m_Taken << c.Number;

    auto* layout = new QVBoxLayout(this);
    QStringList channels;
    for (const Certificate::Channel& ch : qAsConst(m_Content.channels))
        channels << ch.number;
    auto* summary = new QLabel(
        m_HasRun ? tr("校准开始 %1，设备%2 %3 %4，通道 %5")
                       .arg(startTime)
                       .arg(position)
                       .arg(m_Content.model, m_Content.serial, channels.join(QLatin1Char(',')))
                 : tr("该校准没有可出具证书的记录。"),
        this);
    summary->setObjectName(QStringLiteral("label_Run"));
    summary->setWordWrap(true);
    layout->addWidget(summary);

    auto* form = new QFormLayout;
    const auto edit = [&](const QString& name, const QString& label, const QString& text = QString()) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(name);
        form->addRow(label, e);
        return e;
    };
    const QDate today = QDate::currentDate();
    lineEdit_Number = edit(QStringLiteral("lineEdit_Number"), tr("证书编号："),
                           Certificate::nextNumber(labRecord("CertificatePattern"), today, m_Taken));
    lineEdit_Issued = edit(QStringLiteral("lineEdit_Issued"), tr("签发日期："), today.toString(kDate));
    lineEdit_Customer = edit(QStringLiteral("lineEdit_Customer"), tr("委托方："));
    lineEdit_CustomerAddress = edit(QStringLiteral("lineEdit_CustomerAddress"), tr("委托方地址："));
    lineEdit_Ambient = edit(QStringLiteral("lineEdit_Ambient"), tr("环境温度(℃)："));
    lineEdit_Humidity = edit(QStringLiteral("lineEdit_Humidity"), tr("相对湿度(%RH)："));
    comboBox_Signatory = new QComboBox(this);
    comboBox_Signatory->setObjectName(QStringLiteral("comboBox_Signatory"));
    for (const Certificate::Signatory& s : qAsConst(m_Signatories))
        comboBox_Signatory->addItem(s.role.isEmpty() ? s.name : s.name + QStringLiteral(" / ") + s.role);
    form->addRow(tr("签发人："), comboBox_Signatory);
    layout->addLayout(form);
    m_Progress = new QProgressBar(this);
    m_Progress->setObjectName(QStringLiteral("progressBar_Certificate"));
    m_Progress->setVisible(false);
    layout->addWidget(m_Progress);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    pushButton_Write = new QPushButton(tr("生成证书..."), this);
    pushButton_Write->setObjectName(QStringLiteral("pushButton_Write"));
    pushButton_Write->setEnabled(m_HasRun);
    pushButton_Cancel = new QPushButton(tr("关闭"), this);
    pushButton_Cancel->setObjectName(QStringLiteral("pushButton_Quit"));
    buttons->addWidget(pushButton_Write);
    buttons->addWidget(pushButton_Cancel);
    layout->addLayout(buttons);
    connect(pushButton_Write, &QPushButton::clicked, this, &CertificateDialog::pt_Write_clicked);
    connect(pushButton_Cancel, &QPushButton::clicked, this, &CertificateDialog::reject);
    connect(this, &CertificateDialog::Progress_signals, this, &CertificateDialog::Progress_slots,
            Qt::QueuedConnection);
    resize(560, sizeHint().height());
}

CertificateDialog::~CertificateDialog()
{
    // Nothing the worker uses goes before it has ended.
    if (m_Worker) {
        m_Cancel = true;
        m_Worker->wait();
    }
}

Certificate::Content CertificateDialog::content() const
{
    Certificate::Content c = m_Content;
    c.number = lineEdit_Number->text().trimmed();
    c.issued = QDate::fromString(lineEdit_Issued->text().trimmed(), kDate);
    c.customer = lineEdit_Customer->text().trimmed();
    c.customerAddress = lineEdit_CustomerAddress->text().trimmed();
    c.ambient = lineEdit_Ambient->text().trimmed();
    c.humidity = lineEdit_Humidity->text().trimmed();
    c.signatory = m_Signatories.value(comboBox_Signatory->currentIndex());
    return c;
}

void CertificateDialog::pt_Write_clicked()
{
    if (m_Worker)
        return;
    const QString title = tr("提示");
    const Certificate::Content c = content();
    QString missing;
    bool ambient = false, humidity = false;
    c.ambient.toDouble(&ambient);
    c.humidity.toDouble(&humidity);
    if (!m_HasRun)
        missing = tr("该校准没有可出具证书的记录。");
    else if (c.labName.isEmpty() || m_Signatories.isEmpty())
        missing = tr("请先在“标准器与实验室记录”中填写实验室名称和签发人！");
    else if (c.number.isEmpty())
        missing = tr("请输入证书编号！");
    else if (m_Taken.contains(c.number))
        missing = tr("证书编号 %1 已使用！").arg(c.number);
    else if (!c.issued.isValid())
        missing = tr("签发日期格式应为 yyyy-MM-dd！");
    else if (c.customer.isEmpty())
        missing = tr("请输入委托方！");
    else if (!ambient || !humidity)
        missing = tr("请输入环境温度和相对湿度！");
    if (!missing.isEmpty()) {
        MessageBox::information(this, title, missing);
        return;
    }
    QString path = FileDialog::getSaveFileName(this, tr("保存证书"), QDir::home().filePath(c.number + QStringLiteral(".pdf")),
                                               tr("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    m_Path = CertificateFiles::pdfPath(path);
    m_Writing = c;
    m_Cancel = false;
    m_Progress->setRange(0, 0);
    m_Progress->setVisible(true);
    pushButton_Write->setEnabled(false);
    pushButton_Cancel->setText(tr("取消"));
    m_Worker = QThread::create([this] {
        m_Result = CertificateFiles::write(
            m_Writing, m_Path, [this](int done, int total) { emit Progress_signals(done, total); }, &m_Cancel);
    });
    connect(m_Worker, &QThread::finished, this, &CertificateDialog::Finished_slots);
    m_Worker->start();
}

void CertificateDialog::Progress_slots(int done, int total)
{
    m_Progress->setRange(0, total);
    m_Progress->setValue(done);
}

void CertificateDialog::Finished_slots()
{
    if (!m_Worker)
        return;
    m_Worker->wait();
    m_Worker->deleteLater();
    m_Worker = nullptr;
    m_Progress->setVisible(false);
    pushButton_Write->setEnabled(true);
    pushButton_Cancel->setText(tr("关闭"));
    const QString title = tr("提示");
    if (m_Result.cancelled) {
        MessageBox::information(this, title, tr("证书生成已取消。"));
        return;
    }
    if (!m_Result.ok) {
        MessageBox::information(this, title, tr("证书生成失败：%1").arg(m_Result.error));
        return;
    }
    Tool::Struct_Certificate record;
    record.Number = m_Writing.number;
    record.IssuedAt = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    record.StartTime = m_Writing.startTime;
    record.ConfigName = m_Writing.config;
    record.Device = QStringLiteral("%1 %2 %3").arg(m_Writing.position).arg(m_Writing.model, m_Writing.serial).trimmed();
    record.Customer = m_Writing.customer;
    record.Operator = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    record.Path = QDir::toNativeSeparators(m_Path);
    record.Data = QString::fromUtf8(Certificate::toJson(m_Writing));
    if (!Tool::addCertificate(record)) {
        MessageBox::information(this, title,
                                tr("证书文件已生成，但证书记录保存失败：%1").arg(QDir::toNativeSeparators(m_Path)));
        return;
    }
    m_Taken << record.Number;
    Tool::addAuditLog(QStringLiteral("校准证书"), QStringLiteral("证书 %1（校准开始 %2，设备%3）已生成：%4")
                                                      .arg(record.Number, record.StartTime, record.Device, record.Path));
    MessageBox::information(this, title, tr("证书已生成：%1").arg(QDir::toNativeSeparators(m_Path)));
    accept();
}

void CertificateDialog::reject()
{
    if (m_Worker) {
        // The worker stops at its next page; the dialog closes once it has.
        m_Cancel = true;
        return;
    }
    QDialog::reject();
}

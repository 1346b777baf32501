#include "AboutUs.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
void buildBox(QDialog* dialog, const QString& title, const QString& html)
{
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(dialog);
    auto* row = new QHBoxLayout;
    auto* logo = new QLabel(dialog);
    logo->setObjectName(QStringLiteral("label_Logo"));
    logo->setPixmap(QPixmap(QStringLiteral(":/Tervan/Image/Logo.png")).scaled(96, 96, Qt::KeepAspectRatio,
                                                                              Qt::SmoothTransformation));
    logo->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(html, dialog);
    text->setObjectName(QStringLiteral("label_Text"));
    text->setTextFormat(Qt::RichText);
    text->setOpenExternalLinks(true);
    text->setWordWrap(true);
    text->setMinimumWidth(360);
    row->addWidget(logo);
    row->addWidget(text, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    layout->addWidget(buttons);
}
} // namespace

AboutUs::AboutUs(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutUs"));
    buildBox(this, tr("关于软件"),
             tr("<h3>ARQ-310MX</h3><p>版本 %1</p>"
                "<p>温度与电学测量链的采集、校准与报告软件。</p>"
                "<p>开源软件，按 GNU 通用公共许可证第 3 版（GPL-3.0）发布，不提供任何担保。</p>")
                 .arg(QStringLiteral(ARQ_VERSION)));
}

Message::Message(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Message"));
    buildBox(this, tr("联系我们"),
             tr("<h3>ARQ-310MX 开发者社区</h3>"
                "<p>问题报告与功能建议请提交到项目的问题跟踪系统。</p>"
                "<p>提交问题时请附上工作目录中当天的日志文件（log_日期.log）。</p>"));
}

#include "CertificatePdf.h"

#include "PdfTextMap.h"
#include "VerificationReportPDF.h"
#include "Vocabulary.h"

#include <QFont>
#include <QFontMetricsF>
#include <QFile>
#include <QRawFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Resolution = 300;
constexpr double Margin = 180;  // dots
constexpr double CellInset = 10; // dots either side of a cell's text

QFont face(const QString& family, double points, bool bold = false)
{
    QFont f(family.isEmpty() ? QStringLiteral("Sans") : family);
    f.setPointSizeF(points);
    f.setBold(bold);
    // Shaping gives digits after Latin letters other glyphs of the CJK face,
    // which the PDF's text map does not name: copied or searched numbers
    // would lose their digits.
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

double points(int type)
{
    switch (type) {
    case 0: return 18; // title
    case 1: return 11; // subtitle
    case 2: return 11; // heading
    case 5:
    case 6: return 8.5; // tables
    default: return 9.5;
    }
}

} // namespace

CertificatePdf::CertificatePdf(const Certificate::Content& content) : m_Content(content)
{
    m_Family = VerificationReportPDF::fontFamily();
}

QString CertificatePdf::kindText(const QString& kind)
{
    if (kind == QLatin1String("expanded"))
        return tr("正态(证书)");
    if (kind == QLatin1String("rectangular"))
        return tr("矩形");
    if (kind == QLatin1String("resolution"))
        return tr("矩形(分辨力)");
    if (kind == QLatin1String("typeA"))
        return tr("A类");
    return tr("标准");
}

QString CertificatePdf::typeText(const QString& type)
{
    return Vocabulary::text(type);
}

void CertificatePdf::add(Type type, const QStringList& cells, int table, bool strong)
{
    Block b;
    b.type = type;
    b.cells = cells;
    b.table = table;
    b.strong = strong;
    if (table >= 0 && table < m_Headers.size())
        b.widths = m_Headers.at(table).widths;
    m_Blocks << b;
}

void CertificatePdf::table(const QStringList& head, const QList<double>& widths)
{
    Block h;
    h.type = Type::TableHeader;
    h.cells = head;
    h.widths = widths;
    h.table = m_Headers.size();
    m_Headers << h;
    m_Blocks << h;
}

void CertificatePdf::build()
{
    using namespace Certificate;
    const Content& c = m_Content;
    m_Blocks.clear();
    m_Headers.clear();
    add(Type::Title, {tr("校准证书")});
    add(Type::Subtitle, {tr("证书编号：%1").arg(c.number)});
    add(Type::Space);
    add(Type::Field, {tr("校准机构："), c.labName});
    add(Type::Field, {tr("地址："), c.labAddress});
    if (!c.accreditation.isEmpty())
        add(Type::Field, {tr("认可编号："), c.accreditation});
    add(Type::Space);
    add(Type::Field, {tr("委托方："), c.customer});
    if (!c.customerAddress.isEmpty())
        add(Type::Field, {tr("委托方地址："), c.customerAddress});

    // The item: the logger, its channels, their sensors.
    QStringList channels;
    QStringList kinds;
    for (const Channel& ch : c.channels) {
        channels << (ch.tag.isEmpty() ? ch.number : QStringLiteral("%1 (%2)").arg(ch.number, ch.tag));
        const QString kind = ch.function.isEmpty() ? typeText(ch.type) : typeText(ch.type) + QLatin1Char(' ') + ch.function;
        if (!kinds.contains(kind))
            kinds << kind;
    }
    add(Type::Field, {tr("被校对象："), tr("采集设备 %1，序列号 %2（设备%3，配置 %4）")
                                            .arg(c.model.isEmpty() ? QStringLiteral("—") : c.model,
                                                 c.serial.isEmpty() ? QStringLiteral("—") : c.serial)
                                            .arg(c.position)
                                            .arg(c.config)});
    add(Type::Field, {tr("校准通道："), channels.join(QStringLiteral("，"))});
    add(Type::Field, {tr("传感器："), kinds.join(QStringLiteral("，"))});
    const QString source = c.hasSource ? QStringLiteral("%1 %2").arg(c.sourceModel, c.sourceSerial).trimmed()
                                       : Vocabulary::text(c.reference.section(QLatin1Char(' '), 0, 0));
    const QString standard = c.hasStandard
                                 ? QStringLiteral("%1 %2").arg(Vocabulary::text(c.standard.kind), c.standard.serial).trimmed()
                                 : Vocabulary::text(c.reference.section(QLatin1Char(' '), 0, 0));
    add(Type::Field, {tr("校准方法："), tr("在 %1 中与标准器 %2 比较测量").arg(source, standard)});
    const QString dates = c.calibratedFrom == c.calibratedTo
                              ? c.calibratedFrom.toString(Qt::ISODate)
                              : c.calibratedFrom.toString(Qt::ISODate) + QStringLiteral(" ～ ")
                                    + c.calibratedTo.toString(Qt::ISODate);
    add(Type::Field, {tr("校准日期："), dates});
    add(Type::Field, {tr("签发日期："), c.issued.toString(Qt::ISODate)});
    add(Type::Field, {tr("环境条件："), tr("温度 %1 ℃，相对湿度 %2 %RH").arg(c.ambient, c.humidity)});
    add(Type::Space);

    // Results per channel.
    add(Type::Heading, {tr("校准结果")});
    const bool resistance = c.mode != QStringLiteral("热电偶");
    for (const Channel& ch : c.channels) {
        add(Type::Text, {tr("通道 %1%2：%3")
                             .arg(ch.number, ch.tag.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(ch.tag),
                                  typeText(ch.type) + (ch.function.isEmpty() ? QString() : QLatin1Char(' ') + ch.function))},
            -1, true);
        table({tr("温度点"), tr("标准温度(℃)"), resistance ? tr("读数(Ω)") : tr("读数(℃)"), tr("校前误差(℃)"),
               tr("校后误差(℃)"), tr("扩展不确定度U(℃)"), tr("k")},
              {0.09, 0.15, 0.16, 0.15, 0.15, 0.2, 0.1});
        const int id = m_Headers.size() - 1;
        for (const Point& p : ch.points) {
            const int d = std::isfinite(p.U) ? p.decimals : 3;
            add(Type::Row,
                {QString::number(p.point) + (p.role == QLatin1String("check") ? tr("(核查)") : QString()),
                 fixed(p.reference, std::max(d, 2)), QString::number(p.reading, 'f', resistance ? 4 : 3),
                 fixed(p.errorAsFound, d), fixed(p.errorAsLeft, d), fixed(p.U, p.decimals),
                 std::isfinite(p.k) ? QString::number(p.k, 'f', 2) : QStringLiteral("—")},
                id);
        }
        QStringList written;
        for (const auto& name : coefficientLabels(c.mode, ch.function, ch.after))
            written << name.first + QStringLiteral(" = ") + ch.after.value(name.second);
        add(Type::Text, {tr("写入系数：") + written.join(tr("，"))});
        if (std::isfinite(ch.validFrom))
            add(Type::Text, {tr("系数的有效范围（最低至最高拟合点）：%1 ℃ ～ %2 ℃；范围外的示值不在本次校准之内。")
                                 .arg(QString::number(ch.validFrom, 'f', 2), QString::number(ch.validTo, 'f', 2))});
        add(Type::Space);
    }
    add(Type::Text, {tr("校前误差为按原有系数的示值减标准温度，校后误差为按写入系数的示值减标准温度。扩展不确定度 U "
                        "由合成标准不确定度乘以包含因子 k 得到，包含概率约为 95 %；U 保留两位有效数字，误差修约到相同位数。")});
    add(Type::Space);
    add(Type::Heading, {tr("溯源性")});
    if (c.hasStandard)
        add(Type::Text, {tr("标准器 %1（序列号 %2）由 %3 校准，证书编号 %4，校准日期 %5，有效期至 %6；"
                            "其扩展不确定度 U = %7 ℃（k = %8）。")
                             .arg(Vocabulary::text(c.standard.kind), c.standard.serial, c.standard.laboratory,
                                  c.standard.certificate,
                                  c.standard.calibrated.toString(Qt::ISODate), c.standard.due.toString(Qt::ISODate),
                                  c.standard.uncertainty, QString::number(c.standard.k, 'g', 3))});
    else
        add(Type::Text, {tr("标准器 %1 未登记校准证书，本证书的结果无溯源声明。")
                             .arg(Vocabulary::text(c.reference.section(QLatin1Char(' '), 0, 0)))});
    add(Type::Text, {tr("本证书的校准结果仅对所校准的对象有效。")});
    add(Type::Text, {tr("未经本实验室书面同意，不得部分复制本证书。")});
    add(Type::Space);
    add(Type::Field, {tr("校准员："), c.operatorName});
    add(Type::Field, {tr("签发人："), c.signatory.role.isEmpty()
                                         ? c.signatory.name
                                         : QStringLiteral("%1（%2）").arg(c.signatory.name, c.signatory.role)});
    add(Type::Field, {tr("签名："), QStringLiteral("______________________")});
    add(Type::Space);

    // Annex: the budget of every point.
    bool anyBudget = false;
    for (const Channel& ch : c.channels)
        for (const Point& p : ch.points)
            anyBudget = anyBudget || !p.budget.isEmpty();
    if (anyBudget) {
        add(Type::Heading, {tr("附录：不确定度评定")});
        for (const Channel& ch : c.channels)
            for (const Point& p : ch.points) {
                if (p.budget.isEmpty())
                    continue;
                add(Type::Text, {tr("通道 %1，温度点 %2（%3 ℃）").arg(ch.number).arg(p.point).arg(fixed(p.reference, 3))},
                    -1, true);
                table({tr("分量"), tr("分布"), tr("输入值"), tr("灵敏系数"), tr("标准不确定度(℃)"), tr("自由度")},
                      {0.24, 0.16, 0.16, 0.14, 0.18, 0.12});
                const int id = m_Headers.size() - 1;
                for (const BudgetLine& b : p.budget)
                    add(Type::Row,
                        {b.key.isEmpty() ? b.name : QCoreApplication::translate("CalibrationSave", b.key.toUtf8().constData()),
                         kindText(b.kind) + (b.kind == QLatin1String("typeA") ? QStringLiteral(" n=%1").arg(b.count)
                                                     : b.kind == QLatin1String("expanded")
                                                         ? QStringLiteral(" k=%1").arg(b.k, 0, 'g', 3)
                                                         : QString()),
                         QString::number(b.value, 'g', 4), QString::number(b.sensitivity, 'g', 4),
                         QString::number(b.contribution, 'g', 3),
                         std::isfinite(b.dof) ? QString::number(b.dof, 'g', 4) : QStringLiteral("∞")},
                        id);
                add(Type::Text, {tr("合成标准不确定度 u_c = %1 ℃，有效自由度 ν_eff = %2，k = %3，U = %4 ℃")
                                     .arg(QString::number(p.combined, 'g', 3),
                                          std::isfinite(p.dof) ? QString::number(p.dof, 'f', 0) : QStringLiteral("∞"),
                                          QString::number(p.k, 'f', 2), fixed(p.U, p.decimals))});
                add(Type::Space);
            }
    }
    add(Type::EndMark, {tr("—— 证书结束 ——")});
}

void CertificatePdf::measure(QPagedPaintDevice* device)
{
    for (Block& b : m_Blocks) {
        const bool bold = b.strong || b.type == Type::Title || b.type == Type::Heading || b.type == Type::TableHeader;
        const QFont f(face(m_Family, points(int(b.type)), bold), device);
        const QFontMetricsF m(f);
        const double line = m.height() * 1.35;
        switch (b.type) {
        case Type::Space:
            b.height = line * 0.6;
            break;
        case Type::Field: {
            const double value = m_Width * 0.78;
            b.height = std::max(line, m.boundingRect(QRectF(0, 0, value, 1e6), Qt::TextWordWrap, b.cells.value(1)).height()
                                          + line - m.height());
            break;
        }
        case Type::Text:
            b.height = m.boundingRect(QRectF(0, 0, m_Width, 1e6), Qt::TextWordWrap, b.cells.value(0)).height() + line
                       - m.height();
            break;
        case Type::Title:
            b.height = line * 1.4;
            break;
        case Type::TableHeader:
        case Type::Row: {
            // A cell that does not fit goes on up to three lines.
            int lines = 1;
            for (int i = 0; i < b.cells.size(); ++i) {
                const double w = m_Width * b.widths.value(i, 0.1) - 2 * CellInset;
                const QRectF r = m.boundingRect(QRectF(0, 0, w, 1e6), Qt::TextWordWrap, b.cells.at(i));
                lines = std::max(lines, std::min(3, int(std::ceil(r.height() / m.height() - 0.01))));
            }
            b.height = line + (lines - 1) * m.height();
            break;
        }
        default:
            b.height = line;
        }
    }
    for (Block& h : m_Headers)
        for (const Block& b : qAsConst(m_Blocks))
            if (b.type == Type::TableHeader && b.table == h.table)
                h.height = b.height;
}

QList<QList<int>> CertificatePdf::paginate() const
{
    QList<QList<int>> pages{{}};
    double y = m_Top;
    for (int i = 0; i < m_Blocks.size(); ++i) {
        const Block& b = m_Blocks.at(i);
        double need = b.height;
        // A heading or a table header keeps its first line with it, a table's
        // title its header and first row.
        const int keep = b.type == Type::Text && b.strong ? 2 : b.type == Type::Heading || b.type == Type::TableHeader;
        for (int k = 1; k <= keep && i + k < m_Blocks.size(); ++k)
            need += m_Blocks.at(i + k).height;
        if (y + need > m_Bottom && !pages.last().isEmpty()) {
            pages << QList<int>();
            y = m_Top;
            if (b.type == Type::Space)
                continue;
            // A table going on repeats its header.
            if (b.type == Type::Row && b.table >= 0) {
                pages.last() << -1 - b.table;
                y += m_Headers.at(b.table).height;
            }
        }
        pages.last() << i;
        y += b.height;
    }
    return pages;
}

void CertificatePdf::drawBlock(QPainter& p, const Block& b, double y)
{
    const bool bold = b.strong || b.type == Type::Title || b.type == Type::Heading || b.type == Type::TableHeader;
    p.setFont(face(m_Family, points(int(b.type)), bold));
    const double x = m_Left;
    switch (b.type) {
    case Type::Title:
    case Type::Subtitle:
    case Type::EndMark:
        p.drawText(QRectF(x, y, m_Width, b.height), Qt::AlignCenter, b.cells.value(0));
        break;
    case Type::Heading:
        p.drawText(QRectF(x, y, m_Width, b.height), Qt::AlignLeft | Qt::AlignVCenter, b.cells.value(0));
        p.drawLine(QPointF(x, y + b.height - 4), QPointF(x + m_Width, y + b.height - 4));
        break;
    case Type::Field: {
        const double label = m_Width * 0.22;
        p.drawText(QRectF(x, y, label, b.height), Qt::AlignLeft | Qt::AlignTop, b.cells.value(0));
        p.drawText(QRectF(x + label, y, m_Width - label, b.height), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   b.cells.value(1));
        break;
    }
    case Type::Text:
        p.drawText(QRectF(x, y, m_Width, b.height), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, b.cells.value(0));
        break;
    case Type::TableHeader:
    case Type::Row: {
        double cx = x;
        if (b.type == Type::TableHeader)
            p.fillRect(QRectF(x, y, m_Width, b.height), QColor(230, 230, 230));
        for (int i = 0; i < b.cells.size(); ++i) {
            const double w = m_Width * b.widths.value(i, 0.1);
            const QRectF cell(cx, y, w, b.height);
            p.drawRect(cell);
            p.drawText(cell.adjusted(CellInset, 0, -CellInset, 0),
                       (i == 0 || b.type == Type::TableHeader ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter
                           | Qt::TextWordWrap,
                       b.cells.at(i));
            cx += w;
        }
        break;
    }
    case Type::Space:
        break;
    }
}

void CertificatePdf::drawPage(QPainter& p, const QList<int>& blocks, int page, int total)
{
    // Header: the lab and the certificate number; footer: page n of N.
    p.setPen(Qt::black);
    p.setFont(face(m_Family, 8.5));
    const double head = Margin * 0.9;
    p.drawText(QRectF(m_Left, Margin * 0.4, m_Width, head * 0.5), Qt::AlignLeft | Qt::AlignVCenter, m_Content.labName);
    p.drawText(QRectF(m_Left, Margin * 0.4, m_Width, head * 0.5), Qt::AlignRight | Qt::AlignVCenter,
               tr("证书编号：%1").arg(m_Content.number));
    p.drawLine(QPointF(m_Left, Margin * 0.4 + head * 0.55), QPointF(m_Left + m_Width, Margin * 0.4 + head * 0.55));
    const double foot = m_PageHeight - Margin * 0.9;
    p.drawLine(QPointF(m_Left, foot), QPointF(m_Left + m_Width, foot));
    p.drawText(QRectF(m_Left, foot + 10, m_Width, Margin * 0.5), Qt::AlignHCenter | Qt::AlignTop,
               tr("第 %1 页 共 %2 页").arg(page).arg(total));
    double y = m_Top;
    for (int index : blocks) {
        const Block& b = index < 0 ? m_Headers.at(-1 - index) : m_Blocks.at(index);
        drawBlock(p, b, y);
        y += b.height;
    }
}

bool CertificatePdf::write(QFile& file, const Progress& progress, const std::atomic<bool>* cancel, int* pages)
{
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("ARQ-310MX"));
    writer.setTitle(tr("校准证书") + QLatin1Char(' ') + m_Content.number);
    writer.setResolution(Resolution);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Portrait);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    m_PageWidth = writer.width();
    m_PageHeight = writer.height();
    m_Left = Margin;
    m_Width = m_PageWidth - 2 * Margin;
    m_Top = Margin * 1.3;
    m_Bottom = m_PageHeight - Margin;
    build();
    measure(&writer);
    const QList<QList<int>> layout = paginate();
    if (pages)
        *pages = layout.size();
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int i = 0; i < layout.size(); ++i) {
        if (cancel && cancel->load()) {
            painter.end();
            return false;
        }
        if (i > 0)
            writer.newPage();
        drawPage(painter, layout.at(i), i + 1, layout.size());
        if (progress)
            progress(i + 1, layout.size());
    }
    const qint64 pagesEnd = file.size();
    if (!painter.end())
        return false;
    // Searchable text: every character drawn names its own glyph.
    QSet<ushort> drawn;
    const auto note = [&drawn](const QString& text) {
        for (const QChar ch : text)
            drawn.insert(ch.unicode());
    };
    for (const Block& b : qAsConst(m_Blocks))
        for (const QString& cell : b.cells)
            note(cell);
    note(tr("第 %1 页 共 %2 页") + tr("证书编号：%1") + m_Content.labName + QStringLiteral("0123456789"));
    PdfTextMap::fix(file, pagesEnd, QRawFont::fromFont(QFont(face(m_Family, 10), &writer)), drawn);
    return true;
}

#include "AuditLogPdf.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {

QPen pen(const QColor& colour, int width)
{
    return QPen(QBrush(colour), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

QFont font(int points, int weight)
{
    QFont f(QStringLiteral("宋体"));
    f.setPointSize(points);
    f.setWeight(weight);
    return f;
}

} // namespace

AuditLogPdf::Columns AuditLogPdf::columns(int width)
{
    const int g = width / 24;
    return {0, 7 * g, 7 * g, 5 * g, 12 * g, 12 * g};
}

int AuditLogPdf::pageCount(int rows, int height)
{
    int pages = 1;
    int m = FirstRowTop;
    for (int i = 0; i < rows; ++i) {
        if (m + RowPitch >= height) {
            ++pages;
            m = FirstRowTop;
        }
        m += RowPitch;
    }
    return pages;
}

QFont AuditLogPdf::fitted(const QFont& base, const QString& text, int width, QPaintDevice* device)
{
    QFont f = base;
    while (f.pointSizeF() > 6.0 && QFontMetrics(f, device).horizontalAdvance(text) > width)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    return f;
}

void AuditLogPdf::drawHeader(QPainter& painter, int width)
{
    const Columns c = columns(width);
    painter.setFont(font(18, 36));
    painter.setPen(pen(Qt::black, 8));
    painter.drawText(QRect(0, 10, width, 100), Qt::AlignCenter,
                     QCoreApplication::translate("ViewLog", "警告信息"));
    painter.setFont(font(14, 28));
    painter.drawText(QRect(c.time_x, 160, c.time_w, 80), Qt::AlignCenter,
                     QCoreApplication::translate("ViewLog", "操作时间"));
    painter.drawText(QRect(c.type_x, 160, c.type_w, 80), Qt::AlignCenter,
                     QCoreApplication::translate("ViewLog", "操作类型"));
    painter.drawText(QRect(c.text_x, 160, c.text_w, 80), Qt::AlignCenter,
                     QCoreApplication::translate("ViewLog", "操作说明"));
    painter.setPen(pen(QColor(144, 166, 188), 8));
    painter.drawLine(0, 260, width, 260);
}

bool AuditLogPdf::write(const QString& path, const QList<Tool::Struct_AuditLog>& rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(30, 30, 30, 30), QPageLayout::Point));
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        const int width = painter.viewport().width();
        const int height = painter.viewport().height();
        const Columns c = columns(width);

        drawHeader(painter, width);
        int m = FirstRowTop;
        for (const Tool::Struct_AuditLog& row : rows) {
            if (m + RowPitch >= height) {
                writer.newPage();
                drawHeader(painter, width);
                m = FirstRowTop;
            }
            const int y = m + 50;
            const QFont cell = font(12, 20);
            painter.setPen(pen(Qt::black, 1));
            painter.setFont(fitted(cell, row.Time, c.time_w, &writer));
            painter.drawText(QRect(c.time_x, y, c.time_w, 50), Qt::AlignCenter, row.Time);
            painter.setFont(fitted(cell, row.Type, c.type_w, &writer));
            painter.drawText(QRect(c.type_x, y, c.type_w, 50), Qt::AlignCenter, row.Type);
            painter.setFont(fitted(cell, row.Details, c.text_w, &writer));
            painter.drawText(QRect(c.text_x, y, c.text_w, 50), Qt::AlignCenter, row.Details);
            painter.setPen(pen(QColor(166, 188, 222), 3));
            painter.drawLine(0, y + 70, width, y + 70);
            m = y + 70;
        }
        if (!painter.end())
            return false;
    }
    file.close();
    return file.error() == QFile::NoError;
}

#include "VerificationReportPDF.h"

#include "Backup.h"
#include "PdfLayout.h"
#include "PdfTextMap.h"
#include "ReportFailure.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainterPath>
#include <QPdfWriter>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

using namespace PdfLayout;

namespace {

const char* const SongFamily = "宋体";

// A Song-style face first (closest to 宋体), then the sans faces.
const char* const CjkFamilies[] = {"SimSun",
                                   "Noto Serif CJK SC",
                                   "Source Han Serif SC",
                                   "Noto Sans CJK SC",
                                   "Source Han Sans SC",
                                   "WenQuanYi Zen Hei",
                                   "WenQuanYi Micro Hei",
                                   "AR PL UMing CN"};

QString findFontFamily()
{
    QFontDatabase db;
    const QStringList families = db.families();
    const auto installed = [&](const QString& name) {
        for (const QString& f : families)
            if (f.compare(name, Qt::CaseInsensitive) == 0)
                return f;
        return QString();
    };
    QString found = installed(QString::fromUtf8(SongFamily));
    for (const char* name : CjkFamilies) {
        if (!found.isEmpty())
            break;
        found = installed(QString::fromLatin1(name));
    }
    if (found.isEmpty()) {
        // Any family that writes simplified Chinese.
        for (const QString& f : db.families(QFontDatabase::SimplifiedChinese)) {
            if (!db.isPrivateFamily(f)) {
                found = f;
                break;
            }
        }
    }
    if (found.isEmpty()) {
        // Not known to the font database (no fontconfig entry): load Debian's files directly.
        const QDir noto(QStringLiteral("/usr/share/fonts/opentype/noto"));
        for (const QString& file : noto.entryList(
                 {QStringLiteral("NotoSerifCJK-Regular.ttc"), QStringLiteral("NotoSansCJK-Regular.ttc")},
                 QDir::Files, QDir::Name | QDir::Reversed)) {
            const int id = QFontDatabase::addApplicationFont(noto.filePath(file));
            for (const QString& f : QFontDatabase::applicationFontFamilies(id)) {
                if (f.endsWith(QLatin1String(" SC"))) {
                    found = f;
                    break;
                }
            }
            if (!found.isEmpty())
                break;
        }
    }
    if (found.isEmpty())
        qWarning(
            "PDF report: no CJK font is installed (install fonts-noto-cjk); Chinese text will be missing "
            "from PDF reports");
    else if (found != QString::fromUtf8(SongFamily))
        qInfo("PDF report: 宋体 is not installed, using \"%s\"", qPrintable(found));
    return found;
}

} // namespace

namespace {
std::mutex fontMutex;
bool fontLooked = false;
QString fontFound;
bool fontOverridden = false;
QString fontOverride;

// Characters only a CJK face draws (ideographs, radicals, CJK punctuation, full-width forms).
bool needsCjk(ushort c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F)
           || (c >= 0xFF00 && c <= 0xFFEF);
}
} // namespace

QString VerificationReportPDF::fontFamily()
{
    std::lock_guard<std::mutex> lock(fontMutex);
    if (fontOverridden)
        return fontOverride;
    if (!fontLooked) {
        fontFound = findFontFamily();
        fontLooked = true;
    }
    return fontFound;
}

void VerificationReportPDF::overrideFontFamily(bool on, const QString& family)
{
    std::lock_guard<std::mutex> lock(fontMutex);
    fontOverridden = on;
    fontOverride = family;
}

VerificationReportPDF::VerificationReportPDF(const QString& path) : m_path(path)
{
    m_pageTotal = PdfLayout::pageTotal(m_data);
    const QFileInfo target(path);
    // A folder or a read-only file at the path is not replaced.
    if (path.isEmpty() || target.isDir() || (target.exists() && !target.isWritable())) {
        m_failure = ReportFailure::checkTarget(path);
        return;
    }
    m_file.setFileName(path + QStringLiteral(".part"));
    ReportFailure::clearSystemError();
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        m_failure = ReportFailure::fromFile(m_file, ReportFailure::lastSystemError());
        return;
    }

    m_printTime = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    m_logo = QImage(QStringLiteral(":/Tervan/Image/Logo.png"));
    m_writer = std::make_unique<QPdfWriter>(&m_file);
    m_writer->setCreator(QStringLiteral("ARQ-310MX V1.1.0"));
    m_writer->setTitle(tr("采集报告"));
    m_writer->setResolution(300);
    m_writer->setPageSize(QPageSize(QPageSize::A4));
    m_writer->setPageOrientation(QPageLayout::Landscape);
    m_writer->setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
    if (!m_painter.begin(m_writer.get())) {
        m_failure = tr("无法开始绘制PDF文件。");
        m_writer.reset();
        m_file.close();
        m_file.remove();
        return;
    }
    m_width = m_painter.viewport().width();
    m_height = m_painter.viewport().height();

    m_noCjkFont = fontFamily().isEmpty();
    setUpFace(Title, 16);
    setUpFace(Header, 10);
    setUpFace(Section, 14);
    setUpFace(Table, 12);
    setUpFace(Small, 8);
    m_valid = true;
}

VerificationReportPDF::~VerificationReportPDF()
{
    if (m_painter.isActive() || m_file.isOpen())
        finish();
}

void VerificationReportPDF::setUpFace(Face face, int pointSize)
{
    const QString family = fontFamily();
    TextFace& f = m_faces[face];
    f.font = QFont(family.isEmpty() ? QString::fromUtf8(SongFamily) : family, pointSize);
    // Metrics and glyphs at the writer's resolution.
    const QFont onDevice(f.font, m_writer.get());
    const QFontMetricsF metrics(onDevice);
    f.ascent = metrics.ascent();
    f.height = metrics.ascent() + metrics.descent();
    f.raw = QRawFont::fromFont(onDevice);
    if (!f.raw.isValid())
        m_fastText = false;
}

void VerificationReportPDF::setData(int decimals, const QList<bool>& tableFlags,
                                    const Tool::Struct_Parameters& project,
                                    const QList<Tool::Struct_ParametersData>& rows,
                                    const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd,
                                    const QStringList& segmentRemarks)
{
    QVector<qint64> times;
    QVector<QVector<double>> columns;
    ReportData::toColumns(rows, project.Channel.size(), &times, &columns);
    setData(decimals, tableFlags, project, times, columns, segmentStart, segmentEnd, segmentRemarks);
}

void VerificationReportPDF::setData(int decimals, const QList<bool>& tableFlags,
                                    const Tool::Struct_Parameters& project, const QVector<qint64>& times,
                                    const QVector<QVector<double>>& columns,
                                    const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd,
                                    const QStringList& segmentRemarks)
{
    // The rows stay in the compact form handed in (shared, not copied); the
    // texts of a row are made when it is drawn.
    setData(ReportData::buildCompact(decimals, tableFlags, project, times, columns, segmentStart, segmentEnd,
                                     segmentRemarks));
}

void VerificationReportPDF::setData(ReportData data)
{
    m_data = std::move(data);
    m_pageTotal = PdfLayout::pageTotal(m_data);
}

void VerificationReportPDF::setCover(const ReportCover& cover)
{
    m_cover = cover;
    m_hasCover = true;
}

void VerificationReportPDF::setProgress(std::function<void(qint64, qint64)> progress)
{
    m_progress = std::move(progress);
}

void VerificationReportPDF::setCancel(const std::atomic<bool>* cancel)
{
    m_cancel = cancel;
}

bool VerificationReportPDF::cancelled()
{
    if (m_cancel && m_cancel->load(std::memory_order_relaxed))
        m_failed = true;
    return m_failed;
}

void VerificationReportPDF::reportProgress(bool force)
{
    if (!m_progress)
        return;
    if (!force && m_progressClock.isValid() && m_progressClock.elapsed() < 50)
        return;
    m_progressClock.start();
    m_progress(m_pageNumber, m_pageTotal);
}

bool VerificationReportPDF::beginPage()
{
    if (!m_valid || cancelled())
        return false;
    flushText();
    if (m_pageNumber > 0 && !m_writer->newPage()) {
        m_failed = true;
        if (m_failure.isEmpty())
            m_failure = ReportFailure::fromFile(m_file, ReportFailure::lastSystemError());
        return false;
    }
    ++m_pageNumber;
    drawHeader();
    drawFooter();
    reportProgress(false);
    return true;
}

void VerificationReportPDF::drawHeader()
{
    m_painter.drawImage(QRect(0, 0, 250, 90), m_logo);
    setPen(QPen(Qt::black));
    drawText(Title, QRect(250, 0, m_width - 500, 90), Qt::AlignHCenter, tr("采集报告"));
    setPen(QPen(m_rule, 6));
    m_painter.drawLine(0, 100, m_width, 100);
    setPen(QPen(Qt::black));
    drawText(Header, QRect(0, 106, m_width / 2, 50), Qt::AlignLeft, QStringLiteral("ARQ-310MX V1.1.0"));
    drawText(Header, QRect(m_width / 2, 106, m_width / 2, 50), Qt::AlignRight,
             tr("打印时间：") + m_printTime);
}

void VerificationReportPDF::drawFooter()
{
    setPen(QPen(m_rule, 6));
    m_painter.drawLine(0, m_height - 80, m_width, m_height - 80);
    m_painter.drawLine(0, m_height, m_width, m_height);
    setPen(QPen(Qt::black));
    drawText(Table, QRect(m_width / 7 * 6, m_height - 70, m_width / 7, 70), Qt::AlignRight,
             tr("第%1页,共%2页").arg(m_pageNumber).arg(m_pageTotal));
}

void VerificationReportPDF::drawText(Face face, const QRectF& rect, Qt::Alignment align, const QString& text)
{
    if (text.isEmpty())
        return;
    // Without any CJK font, Chinese text comes out as empty boxes: remembered
    // for the message after the report.
    if (m_noCjkFont && !m_missingGlyphs)
        for (const QChar c : text)
            m_missingGlyphs = m_missingGlyphs || needsCjk(c.unicode());
    TextFace& f = m_faces[face];
    if (m_fastText) {
        // Measure with the cache first; a character outside the face sends the text to the painter.
        const int first = m_runIndexes.size();
        qreal x = 0;
        bool ok = true;
        for (const QChar ch : text) {
            const ushort c = ch.unicode();
            auto it = f.glyphs.constFind(c);
            if (it == f.glyphs.constEnd()) {
                Glyph g;
                if (!QChar::isSurrogate(c)) {
                    const QVector<quint32> index = f.raw.glyphIndexesForString(QString(ch));
                    if (index.size() == 1 && index.first() != 0) {
                        g.index = index.first();
                        g.advance = f.raw.advancesForGlyphIndexes(index).value(0).x();
                    }
                }
                it = f.glyphs.insert(c, g);
                m_drawn.insert(c);
            }
            if (it->index == 0) {
                ok = false;
                break;
            }
            m_runIndexes.append(it->index);
            m_runPositions.append(QPointF(x, 0));
            x += it->advance;
        }
        if (ok) {
            qreal left = rect.left();
            if (align & Qt::AlignRight)
                left = rect.left() + rect.width() - x;
            else if (align & Qt::AlignHCenter)
                left = rect.left() + (rect.width() - x) / 2;
            const qreal baseline = rect.top() + (rect.height() - f.height) / 2 + f.ascent;
            if (first > 0 && (face != m_runFace || baseline != m_runBaseline)) {
                // Another line: draw the pending one, then move this text to the front.
                const QVector<quint32> indexes = m_runIndexes.mid(first);
                const QVector<QPointF> positions = m_runPositions.mid(first);
                m_runIndexes.resize(first);
                m_runPositions.resize(first);
                flushText();
                m_runIndexes = indexes;
                m_runPositions = positions;
            }
            for (int i = m_runIndexes.size() - text.size(); i < m_runIndexes.size(); ++i)
                m_runPositions[i].rx() += left;
            m_runFace = face;
            m_runBaseline = baseline;
            return;
        }
        m_runIndexes.resize(first);
        m_runPositions.resize(first);
    }
    // A character the face lacks: the painter finds a fallback font.
    flushText();
    for (const QChar c : text)
        m_drawn.insert(c.unicode());
    m_painter.setFont(f.font);
    m_painter.drawText(rect, int(align | Qt::AlignVCenter), text);
}

int VerificationReportPDF::drawWrapped(Face face, const QRect& rect, const QString& text)
{
    // Greedy lines: broken after a space or a CJK character, as wide as the
    // rectangle allows; drawn as glyph runs like all other text, so they copy out.
    QStringList lines;
    QString line;
    int breakAt = -1; // in `line`: the length up to the last break opportunity
    for (const QChar c : text) {
        line += c;
        if (m_fastText && line.size() > 1 && textWidth(face, line) > rect.width()) {
            const int cut = breakAt > 0 ? breakAt : line.size() - 1;
            lines << line.left(cut).trimmed();
            line = line.mid(cut).trimmed();
            breakAt = -1;
        }
        if (c == QLatin1Char(' ') || needsCjk(c.unicode()))
            breakAt = line.size();
    }
    if (!line.isEmpty())
        lines << line;
    const qreal height = m_faces[face].height;
    int bottom = rect.top();
    for (int i = 0; i < lines.size(); ++i) {
        const QRectF r(rect.left(), rect.top() + height * i, rect.width(), height);
        if (r.bottom() > rect.bottom())
            break;
        drawText(face, r, Qt::AlignLeft, lines.at(i));
        bottom = int(std::ceil(r.bottom()));
    }
    return bottom;
}

qreal VerificationReportPDF::textWidth(Face face, const QString& text)
{
    TextFace& f = m_faces[face];
    qreal width = 0;
    for (const QChar ch : text) {
        auto it = f.glyphs.constFind(ch.unicode());
        if (it == f.glyphs.constEnd()) {
            Glyph g;
            const QVector<quint32> index = f.raw.glyphIndexesForString(QString(ch));
            if (!ch.isSurrogate() && index.size() == 1 && index.first() != 0) {
                g.index = index.first();
                g.advance = f.raw.advancesForGlyphIndexes(index).value(0).x();
            }
            it = f.glyphs.insert(ch.unicode(), g);
            m_drawn.insert(ch.unicode());
        }
        if (it->index == 0)
            return -1;
        width += it->advance;
    }
    return width;
}

// A header text may reach the end of its cell: the next one starts an inset later.
void VerificationReportPDF::drawHeaderCell(const QRect& cell, const QString& text, int level)
{
    drawFitted(cell.adjusted(CellInset, 0, 0, 0), Qt::AlignLeft, text, level);
}

int VerificationReportPDF::fitLevel(const QRect& cell, const QString& text)
{
    // Without the glyph cache there are no widths: the table font, as before.
    // A width of -1 (a character outside the face, drawn by the painter) fits.
    if (!m_fastText || textWidth(Table, text) <= cell.width())
        return 0;
    if (textWidth(Header, text) <= cell.width())
        return 1;
    if (textWidth(Small, text) <= cell.width() || !text.contains(QLatin1Char(' ')))
        return 2;
    return 3;
}

int VerificationReportPDF::headerLevel(const QList<QRect>& cells, const QStringList& texts)
{
    int level = 0;
    for (int i = 0; i < cells.size() && i < texts.size(); ++i)
        level = std::max(level, std::min(2, fitLevel(cells.at(i).adjusted(CellInset, 0, 0, 0), texts.at(i))));
    return level;
}

// In the table font when the text fits the cell (every Chinese text does),
// else the smaller header font, else the small font, on two lines split
// between words when one is not enough (the longer English texts): never
// into the next cell. `level` is the least reduction (0 table font, 1 header
// font, 2 small font), so a header row can share one size.
void VerificationReportPDF::drawFitted(const QRect& cell, Qt::Alignment align, const QString& text, int level)
{
    level = std::max(level, fitLevel(cell, text));
    if (level < 3) {
        drawText(level == 0 ? Table : level == 1 ? Header : Small, cell, align, text);
        return;
    }
    // The split whose longer line is the shortest.
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString first, second;
    qreal best = -1;
    for (int k = 1; k < words.size(); ++k) {
        const QString a = words.mid(0, k).join(QLatin1Char(' '));
        const QString b = words.mid(k).join(QLatin1Char(' '));
        const qreal longer = std::max(textWidth(Small, a), textWidth(Small, b));
        if (best < 0 || longer < best) {
            best = longer;
            first = a;
            second = b;
        }
    }
    // Baselines one em apart around the middle of the cell: the letters of
    // both lines stay inside a 70-dot row (the face's line height is larger).
    const TextFace& f = m_faces[Small];
    const qreal em = f.font.pointSizeF() * m_writer->resolution() / 72.0;
    const qreal middle = cell.top() + cell.height() / 2.0;
    const qreal baseline1 = middle - 0.12 * em, baseline2 = baseline1 + em;
    drawText(Small, QRectF(cell.left(), baseline1 - f.ascent, cell.width(), f.height), align, first);
    drawText(Small, QRectF(cell.left(), baseline2 - f.ascent, cell.width(), f.height), align, second);
}

// Draws the texts collected on one line (one face, one baseline) as one glyph run.
void VerificationReportPDF::flushText()
{
    if (m_runIndexes.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(m_faces[m_runFace].raw);
    run.setGlyphIndexes(m_runIndexes);
    run.setPositions(m_runPositions);
    m_painter.drawGlyphRun(QPointF(0, m_runBaseline), run);
    m_runIndexes.resize(0);
    m_runPositions.resize(0);
}

void VerificationReportPDF::setPen(const QPen& pen)
{
    flushText(); // pending text is drawn with the pen current when it is flushed
    m_painter.setPen(pen);
}

void VerificationReportPDF::fill(const QRect& rect)
{
    flushText();
    m_painter.fillRect(rect, m_band);
}

bool VerificationReportPDF::writeHome()
{
    if (m_pageNumber != 0 || !beginPage())
        return false;
    setPen(QPen(Qt::black, 3));
    const int half = m_width / 2;
    drawText(Section, QRect(30, 190, half, 90), Qt::AlignLeft, tr("项目名称:") + m_data.project.Name);
    drawText(Section, QRect(30, 280, half, 90), Qt::AlignLeft, tr("项目时间:") + m_data.project.Time);
    // The acquisition's time and intervals beside the project.
    const ReportCover cover = m_hasCover ? m_cover : ReportCover::fromProject(m_data.project);
    drawText(Section, QRect(half, 190, half - 30, 90), Qt::AlignLeft,
             tr("采集时间：") + cover.start + tr(" 至 ") + cover.end);
    drawText(Section, QRect(half, 280, half - 30, 90), Qt::AlignLeft,
             tr("扫描间隔：") + ReportCover::seconds(cover.scanInterval) + QStringLiteral("    ") + tr("打印间隔：") +
                 ReportCover::seconds(cover.printInterval));
    const int bottom = drawDevices();
    drawText(Section, QRect(30, bottom + 45, half, 90), Qt::AlignLeft, tr("报告概述:"));
    // Five names a line, 700 dots apart; longer names (English) get the room
    // they need, and fewer go on a line.
    QStringList names;
    for (int k = 1; k <= m_data.tableNames.size() && k <= 10; ++k)
        names << QString::number(k) + QLatin1Char('.') + m_data.tableNames.at(k - 1);
    int pitch = 700, widest = 0;
    for (const QString& name : qAsConst(names))
        widest = std::max(widest, int(std::ceil(textWidth(Table, name))));
    pitch = std::max(pitch, widest + 60);
    // k names fit a line when the last one ends before the right margin.
    int perLine = 5;
    while (perLine > 1 && 60 + pitch * (perLine - 1) + widest > m_width - 30)
        --perLine;
    int lines = 0;
    for (int k = 0; k < names.size(); ++k) {
        const int column = k % perLine;
        const int line = k / perLine;
        lines = line + 1;
        drawText(Table, QRect(60 + pitch * column, bottom + 155 + 100 * line, std::max(half, pitch), 90),
                 Qt::AlignLeft, names.at(k));
    }
    // Channels of a third or further unit are in no analysis table: say so.
    const QString note = ReportStats::otherUnitsNote(m_data);
    int end = bottom + 155 + 100 * lines;
    if (!note.isEmpty())
        end = drawWrapped(Table, QRect(60, end + 20, m_width - 120, 400), note);
    drawAcquisition(end + 30);
    m_homeDone = true;
    return true;
}

// The segments with their remarks and the channels in the report, below the
// overview, in what room the page has left: the channel list is cut short
// with a count of the rest when it does not fit.
void VerificationReportPDF::drawAcquisition(int top)
{
    const int limit = m_height - FooterSpace + 100;
    int y = top;
    const int segments = m_data.segmentCount();
    if (y + 90 <= limit) {
        drawText(Section, QRect(30, y, m_width / 2, 90), Qt::AlignLeft, tr("统计时间段:"));
        y += 95;
    }
    // One a line, two a line from four segments on.
    const int perLine = segments > 3 ? 2 : 1;
    const int width = (m_width - 90) / perLine;
    for (int s = 0; s < segments; ++s) {
        const int line = s / perLine;
        const QRect r(60 + (s % perLine) * width, y + 80 * line, width - 30, 80);
        if (r.bottom() > limit)
            break;
        drawText(Table, r, Qt::AlignLeft,
                 QStringLiteral("%1. %2    %3 — %4")
                     .arg(s + 1)
                     .arg(m_data.segmentRemarks.value(s), m_data.segmentStartTexts.value(s),
                          m_data.segmentEndTexts.value(s)));
    }
    y += 80 * ((segments + perLine - 1) / perLine) + 20;
    const QStringList channels = ReportCover::channels(m_data.project);
    if (y + 90 > limit)
        return;
    drawText(Section, QRect(30, y, m_width / 2, 90), Qt::AlignLeft,
             tr("通道列表:") + QStringLiteral(" ") + tr("共 %1 个通道").arg(channels.size()));
    y += 95;
    const QRect room(60, y, m_width - 120, limit - y);
    const qreal lineHeight = m_faces[Table].height;
    const int lines = lineHeight > 0 ? int(room.height() / lineHeight) : 0;
    // Fewer channels until the list with its "…" fits the lines there are.
    QString text = channels.join(QStringLiteral(", "));
    const qreal capacity = qreal(lines) * room.width() * 0.95;
    for (int kept = channels.size(); kept > 0 && textWidth(Table, text) > capacity; kept = kept * 9 / 10)
        text = QStringList(channels.mid(0, kept)).join(QStringLiteral(", ")) + QStringLiteral(", …") +
               tr("（另有 %1 个）").arg(channels.size() - kept);
    if (lines > 0)
        drawWrapped(Table, room, text);
}

int VerificationReportPDF::drawDevices()
{
    const Tool::Struct_Parameters& p = m_data.project;
    const int n = p.DeviceMode.size();
    const int bottom = 610 + 110 * n;
    drawText(Section, QRect(30, 400, m_width / 2, 90), Qt::AlignLeft, tr("设备列表:"));
    setPen(QPen(Qt::black, 3));
    QVector<QLine> lines;
    for (int k = 0; k <= n + 1; ++k)
        lines << QLine(30, 500 + 110 * k, m_width - 60, 500 + 110 * k);
    for (const int x : {30, 280, 750, 2400, m_width - 310, m_width - 60})
        lines << QLine(x, 500, x, bottom);
    m_painter.drawLines(lines);

    const int xs[] = {30, 280, 750, 2400, m_width - 310};
    const int widths[] = {250, 470, 1650, m_width - 2710, 250};
    const auto line = [&](int y, const QStringList& texts) {
        for (int i = 0; i < 5; ++i)
            drawText(Table, QRect(xs[i], y, widths[i], 110), Qt::AlignHCenter, texts.value(i));
    };
    line(500, {tr("序号"), tr("设备型号"), tr("设备序列号"), tr("通道文件"), tr("通道个数")});
    for (int d = 1; d <= n; ++d)
        line(610 + 110 * (d - 1),
             {QString::number(d), p.DeviceMode.value(d - 1), p.SerialNumber.value(d - 1),
              p.ChannelConfig.value(d - 1), QString::number(m_data.deviceChannelCount(d))});
    return bottom;
}

bool VerificationReportPDF::writeTables()
{
    if (!m_homeDone || m_tablesDone || m_failed)
        return false;
    bool result = false;
    bool any = false;
    for (int t = 0; t < 5; ++t) {
        if (!m_data.flags.value(t))
            continue;
        any = true;
        switch (t) {
        case 0:
            result = dataTable();
            break;
        case 1:
            result = horizontalTable(true);
            break;
        case 2:
            result = verticalTable(true);
            break;
        case 3:
            result = horizontalTable(false);
            break;
        default:
            result = verticalTable(false);
            break;
        }
        if (!result)
            return false; // only a cancel or a write error gets here; later tables would fail too
    }
    m_tablesDone = any && result;
    return m_tablesDone;
}

bool VerificationReportPDF::sectionPage(const QString& title, int segment)
{
    if (!beginPage())
        return false;
    QPainterPath box;
    box.addRoundedRect(QRectF(0, SectionTop, m_width, 90), 5, 5);
    flushText();
    m_painter.fillPath(box, m_band);
    setPen(QPen(Qt::black, 3));
    m_painter.drawPath(box);
    setPen(QPen(Qt::black));
    drawText(Section, QRect(0, SectionTop, m_width, 90), Qt::AlignHCenter, title);
    drawText(Table, QRect(30, 300, m_width / 2, 70), Qt::AlignLeft,
             tr("开始时间：") + m_data.segmentStartTexts.value(segment));
    drawText(Table, QRect(m_width / 2 - 30, 300, m_width / 2, 70), Qt::AlignRight,
             tr("结束时间：") + m_data.segmentEndTexts.value(segment));
    return true;
}

void VerificationReportPDF::openingLine(int segment, int position)
{
    drawText(Table, QRect(400, rowY(position), 1500, RowHeight), Qt::AlignLeft,
             m_data.segmentRemarks.value(segment) + QStringLiteral("    ") + tr("开始"));
}

void VerificationReportPDF::closingLine(int segment, int position)
{
    drawText(Table, QRect(400, rowY(position), 1500, RowHeight), Qt::AlignLeft,
             m_data.segmentRemarks.value(segment) + QStringLiteral("    ") + tr("结束"));
}

void VerificationReportPDF::dataHeader(int first, int count)
{
    fill(QRect(0, TableTop, m_width, RowHeight));
    const int g = (m_width - TimeWidth) / BlockChannels;
    const Tool::Struct_Parameters& p = m_data.project;
    QList<QRect> cells{QRect(0, TableTop, TimeWidth, RowHeight)};
    QStringList texts{tr("时间")};
    for (int i = 0; i < count; ++i) {
        cells << QRect(TimeWidth + g * i, TableTop, g, RowHeight);
        texts << p.Channel.value(first + i) + QLatin1Char('(') + p.Unit.value(first + i) + QLatin1Char(')');
    }
    // Each label in the largest size that fits its column.
    for (int i = 0; i < cells.size(); ++i)
        drawHeaderCell(cells.at(i), texts.at(i));
}

bool VerificationReportPDF::dataTable()
{
    const int channels = m_data.project.Channel.size();
    const int g = (m_width - TimeWidth) / BlockChannels;
    for (int s = 0; s < m_data.segmentCount(); ++s) {
        const int rows = m_data.segmentRows(s);
        const int firstRow = m_data.segmentStartRows.value(s);
        for (int b = 0; b < blocks(channels); ++b) {
            const int first = b * BlockChannels;
            const int count = std::min(BlockChannels, channels - first);
            const int lines = rows + 2;
            for (int line = 0; line < lines; ++line) {
                const Slot at = slot(line);
                if (at.position == 0) {
                    if (!sectionPage(tr("工作数据表"), s))
                        return false;
                    dataHeader(first, count);
                }
                if (line == 0) {
                    openingLine(s, at.position);
                } else if (line == lines - 1) {
                    closingLine(s, at.position);
                } else {
                    const int r = firstRow + line - 1;
                    const int y = rowY(at.position);
                    if (shaded(at.position))
                        fill(QRect(0, y, m_width, RowHeight));
                    drawCell(QRect(0, y, TimeWidth, RowHeight), timeText(r));
                    for (int i = 0; i < count; ++i)
                        drawCell(QRect(TimeWidth + g * i, y, g, RowHeight),
                                 m_data.number(m_data.columns.at(first + i).at(r)));
                }
            }
        }
    }
    return !m_failed;
}

QString VerificationReportPDF::timeText(int r)
{
    char text[32];
    m_timeText.write(m_data.times.at(r), text, sizeof text);
    return QString::fromLatin1(text);
}

// Row r with its time text and only the group values the horizontal
// statistics read.
ReportRow VerificationReportPDF::record(int r)
{
    ReportRow row;
    row.time = timeText(r);
    row.left.reserve(m_data.leftColumns.size());
    for (const int c : m_data.leftColumns)
        row.left << m_data.columns.at(c).at(r);
    row.right.reserve(m_data.rightColumns.size());
    for (const int c : m_data.rightColumns)
        row.right << m_data.columns.at(c).at(r);
    return row;
}

void VerificationReportPDF::horizontalHeader(bool left)
{
    const QStringList headers =
        ReportStats::horizontalHeaders(left ? m_data.leftQuantity : m_data.rightQuantity);
    fill(QRect(0, TableTop, m_width, RowHeight));
    const int h = (m_width - TimeWidth) / 9;
    QList<QRect> cells{QRect(0, TableTop, TimeWidth, RowHeight)};
    for (int k = 0; k < 9; ++k)
        cells << QRect(TimeWidth + h * k, TableTop, h, RowHeight);
    // One size for the whole header row; a header too long for it on two lines.
    const int level = headerLevel(cells, headers);
    for (int k = 0; k < cells.size(); ++k)
        drawHeaderCell(cells.at(k), headers.value(k), level);
}

bool VerificationReportPDF::horizontalTable(bool left)
{
    const QString title = (left ? m_data.leftName : m_data.rightName) + tr("横向分析表");
    const bool empty = (left ? m_data.leftLabels : m_data.rightLabels).isEmpty();
    const int h = (m_width - TimeWidth) / 9;
    for (int s = 0; s < m_data.segmentCount(); ++s) {
        const int rows = m_data.segmentRows(s);
        const int firstRow = m_data.segmentStartRows.value(s);
        const int lines = rows + 2;
        for (int line = 0; line < lines; ++line) {
            const Slot at = slot(line);
            if (at.position == 0) {
                if (!sectionPage(title, s))
                    return false;
                horizontalHeader(left);
            }
            if (line == 0) {
                openingLine(s, at.position);
            } else if (line == lines - 1) {
                closingLine(s, at.position);
            } else {
                const ReportRow row = record(firstRow + line - 1);
                const int y = rowY(at.position);
                if (shaded(at.position))
                    fill(QRect(0, y, m_width, RowHeight));
                drawCell(QRect(0, y, TimeWidth, RowHeight), row.time);
                // A group without channels has no statistics to print.
                if (empty)
                    continue;
                const QStringList texts = ReportStats::horizontalRow(m_data, row, left);
                for (int k = 0; k < 9; ++k)
                    drawCell(QRect(TimeWidth + h * k, y, h, RowHeight), texts.value(k + 1));
            }
        }
    }
    return !m_failed;
}

void VerificationReportPDF::verticalHeader(bool left, int y)
{
    const QStringList headers =
        ReportStats::verticalHeaders(left ? m_data.leftQuantity : m_data.rightQuantity);
    const int v = m_width / 10;
    fill(QRect(0, y, m_width, RowHeight));
    QList<QRect> cells;
    for (int k = 0; k < 8; ++k)
        cells << QRect(v * k, y, v, RowHeight);
    const int level = headerLevel(cells, headers);
    for (int k = 0; k < 8; ++k)
        drawHeaderCell(cells.at(k), headers.value(k), level);
}

bool VerificationReportPDF::verticalTable(bool left)
{
    const QString title = (left ? m_data.leftName : m_data.rightName) + tr("竖向分析表");
    const QStringList& labels = left ? m_data.leftLabels : m_data.rightLabels;
    const int v = m_width / 10;
    const int u = m_width / 12;
    for (int s = 0; s < m_data.segmentCount(); ++s) {
        const int rows = m_data.segmentRows(s);
        // Without rows there are no statistics: labels only, empty summary.
        const ReportStats::Vertical stats =
            rows > 0 ? ReportStats::vertical(m_data, m_data.segmentStartRows.value(s), m_data.segmentEndRows.value(s),
                                             left)
                     : ReportStats::Vertical();
        const QList<QStringList> summary = ReportStats::verticalSummary(m_data, stats, left);
        const int lines = labels.size() + 2;
        for (int line = 0; line < lines; ++line) {
            const Slot at = slot(line, VerticalFirst);
            if (line == 0) {
                if (!sectionPage(title, s))
                    return false;
                setPen(QPen(Qt::black, 3));
                QVector<QLine> grid;
                for (int i = 0; i <= 5; ++i)
                    grid << QLine(u, 395 + 83 * i, 11 * u, 395 + 83 * i);
                for (const int x : {u, 4 * u, 6 * u, 9 * u, 11 * u})
                    grid << QLine(x, 395, x, 810);
                m_painter.drawLines(grid);
                setPen(QPen(Qt::black));
                QList<QRect> labelCells;
                QStringList labelTexts;
                for (const QStringList& r : summary) {
                    labelCells << QRect(u, 0, 3 * u - CellInset, 83) << QRect(6 * u, 0, 3 * u - CellInset, 83);
                    labelTexts << r.value(0) << r.value(2);
                }
                const int labelLevel = headerLevel(labelCells, labelTexts);
                for (int i = 0; i < 5; ++i) {
                    const int y = 395 + 83 * i;
                    const QStringList& r = summary.at(i);
                    // Within the grid's cells, whatever the language's texts;
                    // the labels of the block in one size.
                    const auto cell = [&](int x, int width) {
                        return QRect(x, y, width, 83).adjusted(CellInset, 0, -CellInset, 0);
                    };
                    drawFitted(cell(u, 3 * u), Qt::AlignHCenter, r.value(0), labelLevel);
                    drawFitted(cell(4 * u, 2 * u), Qt::AlignHCenter, r.value(1));
                    drawFitted(cell(6 * u, 3 * u), Qt::AlignHCenter, r.value(2), labelLevel);
                    drawFitted(cell(9 * u, 2 * u), Qt::AlignHCenter, r.value(3));
                }
                verticalHeader(left, TableTop + 420);
            } else if (at.position == 0) {
                if (!sectionPage(title, s))
                    return false;
                verticalHeader(left, TableTop);
            }
            if (line == 0) {
                openingLine(s, at.position);
            } else if (line == lines - 1) {
                closingLine(s, at.position);
            } else {
                const int c = line - 1;
                const int y = rowY(at.position);
                if (shaded(at.position))
                    fill(QRect(0, y, m_width, RowHeight));
                if (rows > 0) {
                    const QStringList texts =
                        ReportStats::verticalRow(m_data, labels.at(c), stats.channels.at(c));
                    for (int k = 0; k < 8; ++k)
                        drawCell(QRect(v * k, y, v, RowHeight), texts.value(k));
                } else {
                    drawCell(QRect(0, y, v, RowHeight), labels.at(c));
                }
            }
        }
    }
    return !m_failed;
}

bool VerificationReportPDF::writeChart(const QPixmap& chart)
{
    return writeChart(chart.toImage());
}

bool VerificationReportPDF::writeChart(const QImage& chart)
{
    if (!m_tablesDone || m_chartDone || !beginPage())
        return false;
    flushText();
    if (!chart.isNull()) {
        // As large as the page allows in the chart's own shape, centred.
        const QRect room(30, 230, m_width - 60, m_height - FooterSpace - 60);
        const QSize size = chart.size().scaled(room.size(), Qt::KeepAspectRatio);
        m_painter.drawImage(QRect(QPoint(room.left() + (room.width() - size.width()) / 2, room.top()), size), chart);
    }
    m_chartDone = true;
    return true;
}

bool VerificationReportPDF::fixTextMapping(qint64 from)
{
    const TextFace& face = m_faces[Table];
    if (!face.raw.isValid() || !m_file.flush())
        return false;
    return PdfTextMap::fix(m_file, from, face.raw, m_drawn);
}

bool VerificationReportPDF::finish()
{
    if (!m_painter.isActive() && !m_file.isOpen())
        return false;
    cancelled();
    bool ok = m_valid && !m_failed && m_homeDone && m_tablesDone && m_chartDone;
    if (ok && m_pageNumber != m_pageTotal) {
        qWarning("PDF report: %d pages written but %d printed as the total", m_pageNumber, m_pageTotal);
        ok = false;
    }
    if (m_painter.isActive())
        flushText();
    // The text maps are written by end(), after every page: only that tail is searched.
    const qint64 pagesEnd = m_file.isOpen() ? m_file.size() : 0;
    if (m_painter.isActive() && !m_painter.end())
        ok = false;
    m_writer.reset();
    if (ok)
        fixTextMapping(pagesEnd);
    if (m_file.isOpen()) {
        ReportFailure::clearSystemError();
        if (!m_file.flush() || m_file.error() != QFileDevice::NoError) {
            if (ok && m_failure.isEmpty())
                m_failure = ReportFailure::fromFile(m_file, ReportFailure::lastSystemError());
            ok = false;
        }
        m_file.close();
    }
    m_valid = false;
    // Replaced in one step on every platform, as the restore replaces the database.
    ReportFailure::clearSystemError();
    if (ok && !Backup::replaceFile(m_file.fileName(), m_path)) {
        m_failure = ReportFailure::fromSystemError(ReportFailure::lastSystemError());
        ok = false;
    }
    if (!ok)
        QFile::remove(m_file.fileName());
    reportProgress(true);
    return ok;
}

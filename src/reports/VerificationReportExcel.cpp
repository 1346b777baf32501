#include "VerificationReportExcel.h"

#include "ReportNumber.h"
#include "Tool.h"

#include <QDateTime>
#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {
const char* const kFont = "宋体";
constexpr quint32 kShade = 0xCDCDC1; // RGB(205, 205, 193)
constexpr qint64 kProgressMs = 50;
// Columns of the analysis rows that hold numbers (the others: time, channel labels).
constexpr quint32 kHorizontalNumbers = (1u << 1) | (1u << 3) | (1u << 5) | (1u << 6) | (1u << 7) | (1u << 8) | (1u << 9);
constexpr quint32 kVerticalNumbers = 0xFEu; // all but the label
// The value a number text stands for, so that the cell shows exactly the
// text (Excel rounds a displayed value its own way: 2.675 shows 2.68, the
// text says 2.67); NaN for an empty text.
double fromText(const char* begin, const char* end)
{
    double value = 0;
    const auto parsed = std::from_chars(begin, end, value);
    if (parsed.ec != std::errc() || parsed.ptr != end)
        return std::numeric_limits<double>::quiet_NaN();
    return value == 0 ? 0.0 : value; // no "-0.00" from a tiny negative value
}

} // namespace

VerificationReportExcel::VerificationReportExcel() : m_book(new XlsxBook)
{
    m_printTime = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    m_logo = QImage(QStringLiteral(":/Tervan/Image/Logo.png"))
                 .scaled(450, 171, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (m_logo.isNull())
        qWarning("Excel report: the logo resource is missing; the cover is written without it");

    XlsxBook::Style base;
    base.font = QString::fromUtf8(kFont);
    base.size = 12;
    base.align = XlsxBook::Left;
    base.border = true;
    const auto with = [&](double size, XlsxBook::Align align, bool border, quint32 fill = 0) {
        XlsxBook::Style s = base;
        s.size = size;
        s.align = align;
        s.border = border;
        s.fill = fill;
        return m_book->addFormat(s);
    };
    m_base = with(12, XlsxBook::Left, true);
    m_shaded = with(12, XlsxBook::Left, true, kShade);
    m_reportTitle = with(16, XlsxBook::Center, false);
    m_plain = with(12, XlsxBook::Left, false);
    m_plainCentred = with(12, XlsxBook::Center, false);
    m_section = with(14, XlsxBook::Left, false);
    m_title = with(16, XlsxBook::Center, true);
    m_head = with(14, XlsxBook::Center, true);
}

VerificationReportExcel::~VerificationReportExcel() = default;

void VerificationReportExcel::setData(int decimals, const QList<bool>& tableFlags,
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

// The rows stay in the compact form handed in (shared, not copied); each
// sheet row is made when it is written.
void VerificationReportExcel::setData(int decimals, const QList<bool>& tableFlags,
                                      const Tool::Struct_Parameters& project, const QVector<qint64>& times,
                                      const QVector<QVector<double>>& columns, const QList<QDateTime>& segmentStart,
                                      const QList<QDateTime>& segmentEnd, const QStringList& segmentRemarks)
{
    m_data = ReportData::buildCompact(decimals, tableFlags, project, times, columns, segmentStart, segmentEnd,
                                      segmentRemarks);
}

void VerificationReportExcel::setCover(const ReportCover& cover)
{
    m_cover = cover;
    m_hasCover = true;
}

QString VerificationReportExcel::failure() const
{
    if (!m_failure.isEmpty() || cancelled())
        return m_failure;
    return m_book ? m_book->reason() : QString();
}

void VerificationReportExcel::setProgress(std::function<void(qint64, qint64)> progress)
{
    m_progress = std::move(progress);
}

void VerificationReportExcel::setCancel(const std::atomic<bool>* cancel)
{
    m_cancel = cancel;
}

// --- cells of the current row ----------------------------------------------

bool VerificationReportExcel::cell(int column, const QString& text, int format)
{
    return m_book->write(m_row - 1, column - 1, text, format);
}

bool VerificationReportExcel::span(int first, int last, const QString& text, int format)
{
    return m_book->merge(m_row - 1, first - 1, last - 1, text, format);
}

// A span that holds a number text as a number; other texts (empty ones
// included) stay texts.
bool VerificationReportExcel::numberSpan(int first, int last, const QString& text, int format)
{
    const QByteArray latin = text.toLatin1();
    const double v = fromText(latin.constData(), latin.constData() + latin.size());
    if (text.isEmpty() || !std::isfinite(v))
        return span(first, last, text, format);
    return m_book->merge(m_row - 1, first - 1, last - 1, v, m_headNumber);
}

bool VerificationReportExcel::section(const QString& title)
{
    bool ok = m_book->setRowHeight(m_row - 1, 20);
    ok = span(1, 10, title, m_section) && ok;
    ++m_row;
    return ok;
}

bool VerificationReportExcel::sheetTitle(const QString& title, int columns)
{
    bool ok = m_book->setRowHeight(m_row - 1, 28);
    ok = span(1, std::max(columns, 8), title, m_title) && ok;
    ++m_row;
    return ok;
}

bool VerificationReportExcel::header(const QStringList& texts)
{
    bool ok = m_book->setRowHeight(m_row - 1, 20);
    for (int i = 0; i < texts.size(); ++i)
        ok = cell(i + 1, texts.at(i), m_head) && ok;
    ++m_row;
    return ok;
}

bool VerificationReportExcel::segmentOpening(int s)
{
    const QString remark = m_data.segmentRemarks.value(s);
    bool ok = span(1, 2, remark + QStringLiteral("    ") + tr("开始"), m_base);
    ok = cell(3, tr("开始时间："), m_base) && ok;
    ok = span(4, 5, m_data.segmentStartTexts.value(s), m_base) && ok;
    ok = cell(6, tr("结束时间："), m_base) && ok;
    ok = span(7, 8, m_data.segmentEndTexts.value(s), m_base) && ok;
    ++m_row;
    return ok;
}

bool VerificationReportExcel::segmentClosing(int s)
{
    const bool ok = span(1, 2, m_data.segmentRemarks.value(s) + QStringLiteral("    ") + tr("结束"), m_base);
    m_row += 2;
    return ok;
}

double VerificationReportExcel::shown(double v)
{
    return ReportNumber::shown(v, m_data.decimals);
}

bool VerificationReportExcel::dataRow(const QStringList& texts, quint32 numbers)
{
    const bool shade = m_row % 5 == 4;
    const int format = shade ? m_shaded : m_base;
    const int number = shade ? m_shadedNumber : m_baseNumber;
    bool ok = true;
    for (int i = 0; i < texts.size(); ++i) {
        if (numbers & (1u << i)) {
            const QByteArray latin = texts.at(i).toLatin1();
            ok = m_book->write(m_row - 1, i, fromText(latin.constData(), latin.constData() + latin.size()), number) &&
                 ok;
        } else {
            ok = cell(i + 1, texts.at(i), format) && ok;
        }
    }
    ++m_row;
    rowDone();
    return ok;
}

// The data table's rows: the bulk of a report, written straight from the
// value columns without a list of texts per row.
bool VerificationReportExcel::valueRow(int r)
{
    const bool shade = m_row % 5 == 4;
    const int sheetRow = m_row - 1;
    char text[32];
    m_timeText.write(m_data.times.at(r), text, sizeof text);
    bool ok = m_book->write(sheetRow, 0, text, shade ? m_shaded : m_base);
    const int number = shade ? m_shadedNumber : m_baseNumber;
    for (int i = 0; i < m_data.columns.size(); ++i) {
        // A number cell showing the report's decimals; a value that is no
        // number is an empty (formatted) cell.
        ok = m_book->write(sheetRow, i + 1, shown(m_data.columns.at(i).at(r)), number) && ok;
    }
    ++m_row;
    rowDone();
    return ok;
}

// Row r as ReportData::row makes it, with the quick time text; only the
// group values, which the horizontal statistics read.
ReportRow VerificationReportExcel::record(int r)
{
    ReportRow row;
    char text[32];
    m_timeText.write(m_data.times.at(r), text, sizeof text);
    row.time = QString::fromLatin1(text);
    row.left.reserve(m_data.leftColumns.size());
    for (int c : m_data.leftColumns)
        row.left << m_data.columns.at(c).at(r);
    row.right.reserve(m_data.rightColumns.size());
    for (int c : m_data.rightColumns)
        row.right << m_data.columns.at(c).at(r);
    return row;
}


void VerificationReportExcel::rowDone()
{
    ++m_done;
    if (m_progress && m_progressClock.hasExpired(kProgressMs)) {
        m_progress(m_done, m_total);
        m_progressClock.restart();
    }
}

// Printing, which the layout leaves open: landscape A4, the cover on one page,
// a table as wide as one page with its title (and header) on every page, and
// "page n of N" at the foot.
bool VerificationReportExcel::printSetup(int pagesTall, int repeatLast)
{
    XlsxBook::Print print;
    print.pagesWide = 1;
    print.pagesTall = pagesTall;
    print.repeatFirst = repeatLast >= 0 ? 0 : -1;
    print.repeatLast = repeatLast;
    print.footer = QStringLiteral("&C") + tr("第 &P 页，共 &N 页");
    return m_book->setPrint(print);
}

// A sheet named `title` as far as a workbook allows: sheet names are unique
// (compared without case) and at most 31 characters, so a longer title is
// shortened and a taken one numbered. The sheet's own title row keeps it whole.
bool VerificationReportExcel::addSheet(const QString& title)
{
    constexpr int kLongest = 31;
    const auto taken = [this](const QString& name) {
        for (const QString& n : m_book->sheetNames())
            if (n.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    QString name = title.left(kLongest);
    for (int k = 2; taken(name) && k < 100; ++k) {
        const QString suffix = QStringLiteral("~%1").arg(k);
        name = title.left(kLongest - suffix.size()) + suffix;
    }
    return m_book->addSheet(name);
}

// --- steps -------------------------------------------------------------------

bool VerificationReportExcel::writeHome()
{
    if (!m_book || cancelled() || !m_book->addSheet(tr("首页")))
        return false;
    m_row = 1;
    bool ok = printSetup(1, -1);
    ok = m_book->setColumnWidth(0, 9, 12) && ok;
    ok = m_book->setRowHeight(0, 28) && ok;
    ok = span(1, 10, tr("采集报告"), m_reportTitle) && ok;
    if (!m_logo.isNull())
        // Shown the height of the title row, so it covers no text; the
        // picture keeps its 450 × 171 pixels for zooming and printing.
        ok = m_book->insertImage(0, 0, m_logo, 0.16) && ok;
    m_row = 2;

    ok = span(1, 2, QStringLiteral("ARQ-310MX V1.1.0"), m_plain) && ok;
    ok = span(4, 6, QString(), m_plain) && ok;
    ok = cell(8, tr("打印时间："), m_plain) && ok;
    ok = span(9, 10, m_printTime, m_plain) && ok;
    m_row += 2;

    const Tool::Struct_Parameters& project = m_data.project;
    ok = cell(1, tr("项目名称:"), m_plain) && ok;
    ok = span(2, 4, project.Name, m_plain) && ok;
    ++m_row;
    ok = cell(1, tr("项目时间:"), m_plain) && ok;
    ok = span(2, 4, project.Time, m_plain) && ok;
    m_row += 2;

    ok = section(tr("设备列表:")) && ok;
    ok = cell(1, tr("序号"), m_plainCentred) && ok;
    ok = span(2, 3, tr("设备型号"), m_plainCentred) && ok;
    ok = span(4, 7, tr("设备序列号"), m_plainCentred) && ok;
    ok = span(8, 9, tr("通道文件"), m_plainCentred) && ok;
    ok = cell(10, tr("通道个数"), m_plainCentred) && ok;
    ++m_row;
    for (int d = 0; d < project.DeviceMode.size(); ++d) {
        ok = cell(1, QString::number(d + 1), m_plainCentred) && ok;
        ok = span(2, 3, project.DeviceMode.at(d), m_plainCentred) && ok;
        ok = span(4, 7, project.SerialNumber.value(d), m_plainCentred) && ok;
        ok = span(8, 9, project.ChannelConfig.value(d), m_plainCentred) && ok;
        ok = cell(10, QString::number(m_data.deviceChannelCount(d + 1)), m_plainCentred) && ok;
        ++m_row;
    }
    ++m_row;

    ok = section(tr("报告概述:")) && ok;
    const QStringList& names = m_data.tableNames;
    for (int k = 0; k < names.size() && k < 10; ++k) {
        const int column = (k % 5) * 2 + 1;
        const QString text = QString::number(k + 1) + QLatin1Char('.') + names.at(k);
        // In order, so the first row is complete before the second starts.
        ok = m_book->merge(m_row - 1 + k / 5, column - 1, column, text, m_plain) && ok;
    }
    m_row += names.size() > 5 ? 3 : 2;
    // Channels of a third or further unit are in no analysis table: say so.
    const QString note = ReportStats::otherUnitsNote(m_data);
    if (!note.isEmpty()) {
        ok = span(1, 10, note, m_plain) && ok;
        m_row += 2;
    }
    return writeAcquisition() && ok;
}

// The acquisition on the cover: start and end, intervals, the segments with
// their remarks and the channels in the report.
bool VerificationReportExcel::writeAcquisition()
{
    const ReportCover cover = m_hasCover ? m_cover : ReportCover::fromProject(m_data.project);
    bool ok = section(tr("采集信息:"));
    ok = span(1, 2, tr("采集开始时间："), m_plain) && ok;
    ok = span(3, 5, cover.start, m_plain) && ok;
    ok = span(6, 7, tr("采集结束时间："), m_plain) && ok;
    ok = span(8, 10, cover.end, m_plain) && ok;
    ++m_row;
    ok = span(1, 2, tr("扫描间隔："), m_plain) && ok;
    ok = span(3, 5, ReportCover::seconds(cover.scanInterval), m_plain) && ok;
    ok = span(6, 7, tr("打印间隔："), m_plain) && ok;
    ok = span(8, 10, ReportCover::seconds(cover.printInterval), m_plain) && ok;
    m_row += 2;

    ok = section(tr("统计时间段:")) && ok;
    ok = cell(1, tr("序号"), m_plainCentred) && ok;
    ok = span(2, 4, tr("备注"), m_plainCentred) && ok;
    ok = span(5, 7, tr("开始时间"), m_plainCentred) && ok;
    ok = span(8, 10, tr("结束时间"), m_plainCentred) && ok;
    ++m_row;
    for (int s = 0; s < m_data.segmentCount(); ++s) {
        ok = cell(1, QString::number(s + 1), m_plainCentred) && ok;
        ok = span(2, 4, m_data.segmentRemarks.value(s), m_plainCentred) && ok;
        ok = span(5, 7, m_data.segmentStartTexts.value(s), m_plainCentred) && ok;
        ok = span(8, 10, m_data.segmentEndTexts.value(s), m_plainCentred) && ok;
        ++m_row;
    }
    ++m_row;

    // Five a row, two columns each.
    const QStringList channels = ReportCover::channels(m_data.project);
    ok = section(tr("通道列表:") + QStringLiteral(" ") + tr("共 %1 个通道").arg(channels.size())) && ok;
    for (int k = 0; k < channels.size(); ++k) {
        const int column = (k % 5) * 2 + 1;
        ok = span(column, column + 1, channels.at(k), m_plain) && ok;
        if (k % 5 == 4 || k == channels.size() - 1)
            ++m_row;
    }
    ++m_row;
    return ok;
}

bool VerificationReportExcel::writeChart(const QImage& picture)
{
    if (!m_book || cancelled() || m_book->sheetCount() == 0 || picture.isNull())
        return false;
    bool ok = section(tr("趋势图:"));
    // 2500 pixels wide, as high as its shape asks: the chart is not stretched.
    const QImage image = picture.scaledToWidth(2500, Qt::SmoothTransformation);
    // Shown across the ten columns of the cover (about 890 pixels at 100 %),
    // so the printed cover keeps readable text; all pixels stay.
    constexpr double scale = 0.356;
    ok = m_book->insertImage(m_row, 0, image, scale) && ok;
    constexpr double rowPixels = 20; // the default row height
    m_row += int(std::ceil(image.height() * scale / rowPixels)) + 7;
    return ok;
}

qint64 VerificationReportExcel::tableRows() const
{
    qint64 segmentRows = 0;
    for (int s = 0; s < m_data.segmentCount(); ++s)
        segmentRows += m_data.segmentRows(s);
    const QList<bool>& f = m_data.flags;
    qint64 total = 0;
    if (f.value(0))
        total += segmentRows;
    if (f.value(1))
        total += segmentRows;
    if (f.value(3))
        total += segmentRows;
    const int segments = m_data.rowCount() == 0 ? 0 : m_data.segmentCount();
    if (f.value(2))
        total += qint64(segments) * m_data.leftLabels.size();
    if (f.value(4))
        total += qint64(segments) * m_data.rightLabels.size();
    return total;
}

bool VerificationReportExcel::writeTables()
{
    if (!m_book || cancelled())
        return false;
    m_done = 0;
    m_total = tableRows();
    m_baseNumber = m_book->numberFormat(m_base, m_data.decimals);
    m_shadedNumber = m_book->numberFormat(m_shaded, m_data.decimals);
    m_headNumber = m_book->numberFormat(m_head, m_data.decimals);
    m_progressClock.start();
    if (m_progress)
        m_progress(0, m_total);
    // Every selected sheet is attempted; the step fails when any of them
    // failed, so a workbook that lacks a table is never reported as written.
    bool any = false, ok = true;
    const QList<bool>& f = m_data.flags;
    if (f.value(0)) {
        ok = writeDataSheet() && ok;
        any = true;
    }
    if (f.value(1) && !cancelled()) {
        ok = writeHorizontalSheet(true) && ok;
        any = true;
    }
    if (f.value(2) && !cancelled()) {
        ok = writeVerticalSheet(true) && ok;
        any = true;
    }
    if (f.value(3) && !cancelled()) {
        ok = writeHorizontalSheet(false) && ok;
        any = true;
    }
    if (f.value(4) && !cancelled()) {
        ok = writeVerticalSheet(false) && ok;
        any = true;
    }
    if (cancelled())
        return false;
    if (m_progress)
        m_progress(m_done, m_total);
    return any && ok;
}

bool VerificationReportExcel::writeDataSheet()
{
    const QString name = tr("工作数据表");
    if (!addSheet(name))
        return false;
    m_row = 1;
    const int channels = m_data.project.Channel.size();
    bool ok = printSetup(0, 1);
    ok = sheetTitle(name, channels + 1) && ok;
    ok = m_book->setColumnWidth(0, 0, 24) && ok;
    ok = m_book->setColumnWidth(1, std::max(channels, 7), 16) && ok;
    QStringList texts{tr("时间")};
    for (int i = 0; i < channels; ++i)
        texts << m_data.project.Channel.at(i) + QLatin1Char('(') + m_data.project.Unit.value(i) + QLatin1Char(')');
    ok = header(texts) && ok;
    for (int s = 0; s < m_data.segmentCount(); ++s) {
        ok = segmentOpening(s) && ok;
        if (m_data.rowCount() > 0) {
            for (int r = m_data.segmentStartRows.at(s); r <= m_data.segmentEndRows.at(s); ++r) {
                if (cancelled())
                    return false;
                ok = valueRow(r) && ok;
            }
        }
        ok = segmentClosing(s) && ok;
    }
    return ok;
}

bool VerificationReportExcel::writeHorizontalSheet(bool left)
{
    const QString q = left ? m_data.leftQuantity : m_data.rightQuantity;
    const QString name = (left ? m_data.leftName : m_data.rightName) + tr("横向分析表");
    if (!addSheet(name))
        return false;
    m_row = 1;
    bool ok = printSetup(0, 1);
    ok = sheetTitle(name, 10) && ok;
    ok = m_book->setColumnWidth(0, 0, 24) && ok;
    ok = m_book->setColumnWidth(1, 9, 17) && ok;
    ok = header(ReportStats::horizontalHeaders(q)) && ok;
    // A group without channels has nothing to compare: its segments stay empty.
    const bool any = !(left ? m_data.leftLabels : m_data.rightLabels).isEmpty();
    for (int s = 0; s < m_data.segmentCount(); ++s) {
        ok = segmentOpening(s) && ok;
        if (m_data.rowCount() > 0) {
            for (int r = m_data.segmentStartRows.at(s); r <= m_data.segmentEndRows.at(s); ++r) {
                if (cancelled())
                    return false;
                if (any)
                    ok = dataRow(ReportStats::horizontalRow(m_data, record(r), left), kHorizontalNumbers) && ok;
                else
                    rowDone();
            }
        }
        ok = segmentClosing(s) && ok;
    }
    return ok;
}

bool VerificationReportExcel::writeVerticalSheet(bool left)
{
    const QString q = left ? m_data.leftQuantity : m_data.rightQuantity;
    const QStringList& labels = left ? m_data.leftLabels : m_data.rightLabels;
    const QString name = (left ? m_data.leftName : m_data.rightName) + tr("竖向分析表");
    if (!addSheet(name))
        return false;
    m_row = 1;
    bool ok = printSetup(0, 0);
    ok = sheetTitle(name, 8) && ok;
    for (int s = 0; s < m_data.segmentCount(); ++s) {
        if (cancelled())
            return false;
        ok = segmentOpening(s) && ok;
        // No rows at all: the statistics stay empty rather than made up.
        const ReportStats::Vertical v =
            ReportStats::vertical(m_data, m_data.segmentStartRows.value(s), m_data.segmentEndRows.value(s), left);
        const QList<QStringList> summary = ReportStats::verticalSummary(m_data, v, left);
        for (const QStringList& line : summary) {
            ok = m_book->setRowHeight(m_row - 1, 20) && ok;
            ok = span(1, 2, line.value(0), m_head) && ok;
            // "label/value" texts stay texts; plain values are numbers.
            ok = numberSpan(3, 4, line.value(1), m_head) && ok;
            ok = span(5, 6, line.value(2), m_head) && ok;
            ok = numberSpan(7, 8, line.value(3), m_head) && ok;
            ++m_row;
        }
        ++m_row;
        ok = m_book->setColumnWidth(0, 7, 17) && ok;
        ok = header(ReportStats::verticalHeaders(q)) && ok;
        for (int c = 0; c < v.channels.size(); ++c)
            ok = dataRow(ReportStats::verticalRow(m_data, labels.value(c), v.channels.at(c)), kVerticalNumbers) && ok;
        ok = segmentClosing(s) && ok;
    }
    return ok;
}

bool VerificationReportExcel::save(const QString& path)
{
    if (!m_book)
        return false;
    if (cancelled()) {
        m_book.reset(); // drops the unfinished workbook and its temporary files
        return false;
    }
    m_book->selectSheet(0);
    const bool ok = m_book->saveAs(path, m_cancel);
    if (!ok) {
        qWarning("Excel report: %s", qUtf8Printable(m_book->errorString()));
        m_failure = m_book->reason();
    }
    m_book.reset();
    return ok;
}

#include "HeldRows.h"

#include <QDebug>
#include <QFile>

#include <algorithm>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");

QString escaped(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

QString unescaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar n = text.at(++i);
        out += n == QLatin1Char('t') ? QChar(QLatin1Char('\t'))
             : n == QLatin1Char('n') ? QChar(QLatin1Char('\n'))
             : n == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                                     : n;
    }
    return out;
}

// Reads a side file line by line. A scan is its row lines followed by
// "#end<TAB>index<TAB>rows"; rows without their end line (a write cut short)
// or an end line that does not match the rows before it make a broken frame.
class FrameParser
{
public:
    enum Result { More, Whole, Broken };

    // One line without its line feed. Broken: the frame open until now is
    // dropped (the line itself may start the next one).
    Result line(const QByteArray& text)
    {
        if (text.startsWith("#end\t")) {
            const QList<QByteArray> f = text.split('\t');
            bool indexOk = false, rowsOk = false;
            const int index = f.size() == 3 ? f.at(1).toInt(&indexOk) : 0;
            const int rows = f.size() == 3 ? f.at(2).toInt(&rowsOk) : -1;
            const bool whole = indexOk && rowsOk && m_open && !m_bad && index == m_scan.index
                               && rows == m_scan.rows.size();
            m_open = false;
            m_bad = false;
            if (whole) {
                m_whole = m_scan;
                return Whole;
            }
            return Broken;
        }
        HeldRows::Scan scan;
        Tool::Struct_ParametersData row;
        const bool ok = parseRow(text, scan, row);
        Result result = More;
        if (m_open && ok && (m_bad || scan.index != m_scan.index)) {
            // The open frame never got its end line: it was cut short.
            m_open = false;
            result = Broken;
        }
        if (!m_open) {
            m_open = true;
            m_bad = false;
            m_scan = HeldRows::Scan{scan.index, scan.time, {}};
        }
        if (ok)
            m_scan.rows << row;
        else
            m_bad = true;
        return result;
    }
    bool open() const { return m_open; }
    HeldRows::Scan take() { return std::move(m_whole); }

private:
    static bool parseRow(const QByteArray& text, HeldRows::Scan& scan, Tool::Struct_ParametersData& row)
    {
        const QStringList f = QString::fromUtf8(text).split(QLatin1Char('\t'));
        if (f.size() != 5)
            return false;
        bool ok = false;
        scan.index = f.at(0).toInt(&ok);
        scan.time = QDateTime::fromString(f.at(1), kTimeFormat);
        row.Time = QDateTime::fromString(f.at(2), kTimeFormat);
        if (!ok || !scan.time.isValid() || !row.Time.isValid())
            return false;
        row.Name = unescaped(f.at(3));
        const QString data = unescaped(f.at(4));
        row.Data = data.isEmpty() ? QStringList() : data.split(QLatin1Char(','));
        return true;
    }

    bool m_open = false;
    bool m_bad = false;
    HeldRows::Scan m_scan;
    HeldRows::Scan m_whole;
};

} // namespace

HeldRows::HeldRows(const QString& sidePath) : m_SidePath(sidePath) {}

void HeldRows::setLimits(int memoryScans, int batchScans)
{
    m_MemoryLimit = std::max(1, memoryScans);
    m_Batch = std::max(1, batchScans);
}

void HeldRows::setBackoff(qint64 firstMs, qint64 maxMs)
{
    m_FirstMs = std::max<qint64>(0, firstMs);
    m_MaxMs = std::max(m_FirstMs, maxMs);
}

int HeldRows::rows() const
{
    int n = m_SideRows;
    for (const Scan& s : m_Memory)
        n += s.rows.size();
    return n;
}

QString HeldRows::sidePath() const
{
    if (!m_Segments.isEmpty())
        return m_Segments.last().path;
    return m_LastPath.isEmpty() ? m_SidePath : m_LastPath;
}

QStringList HeldRows::sideFiles() const
{
    QStringList out;
    for (const Segment& s : m_Segments)
        if (s.scans > 0)
            out << s.path;
    return out;
}

void HeldRows::add(const Scan& scan)
{
    m_Memory.append(scan);
    while (m_Memory.size() > m_MemoryLimit) {
        const Scan& oldest = m_Memory.first();
        if (!spill(oldest)) {
            ++m_LostScans;
            m_LostRows += oldest.rows.size();
        }
        m_Memory.removeFirst();
    }
}

QByteArray HeldRows::frame(const Scan& scan)
{
    QByteArray text;
    for (const Tool::Struct_ParametersData& row : scan.rows) {
        const QStringList fields{QString::number(scan.index), scan.time.toString(kTimeFormat),
                                 row.Time.toString(kTimeFormat), escaped(row.Name),
                                 escaped(row.Data.join(QLatin1Char(',')))};
        text += fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    // The end line: a scan cut short by a failed write is known as such.
    text += "#end\t" + QByteArray::number(scan.index) + '\t' + QByteArray::number(scan.rows.size()) + '\n';
    return text;
}

QString HeldRows::freshPath()
{
    // Never a file that exists or was given up: it holds scans of its own.
    const bool tsv = m_SidePath.endsWith(QLatin1String(".tsv"));
    const QString stem = tsv ? m_SidePath.chopped(4) : m_SidePath;
    for (int n = 1; n < 1000; ++n) {
        const QString path = n == 1 ? m_SidePath : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(tsv ? ".tsv" : "");
        bool used = QFile::exists(path) || m_LeftFiles.contains(path);
        for (const Segment& s : qAsConst(m_Segments))
            used = used || s.path == path;
        if (!used)
            return path;
    }
    return QString();
}

bool HeldRows::spill(const Scan& scan)
{
    if (m_SidePath.isEmpty())
        return false;
    const QByteArray text = frame(scan);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_Segments.isEmpty() || !m_Segments.last().writable) {
            const QString path = freshPath();
            if (path.isEmpty())
                return false;
            Segment fresh;
            fresh.path = path;
            m_Segments.append(fresh);
            m_LastPath = path;
        }
        Segment& s = m_Segments.last();
        if (spillInto(s, text)) {
            ++s.scans;
            s.rows += scan.rows.size();
            ++m_SideScans;
            m_SideRows += scan.rows.size();
            return true;
        }
        // A write that failed but was cut back loses this scan only; a file
        // that cannot be cut back is written no more, the next file is tried.
        if (s.writable)
            return false;
    }
    return false;
}

bool HeldRows::spillInto(Segment& s, const QByteArray& text)
{
    if (s.end > 0 && !QFile::exists(s.path)) {
        // Removed behind our back: its scans are gone, counted when read.
        s.writable = false;
        return false;
    }
    QFile file(s.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    if (file.size() != s.end) {
        // What a failed write left after the last whole scan; a file shorter
        // than that lost scans and is not written to again.
        if (file.size() < s.end || !file.resize(s.end)) {
            qWarning() << "held rows: side file" << s.path << "cannot be cut back to its whole scans;"
                       << "next scans go to a new file";
            s.writable = false;
            return false;
        }
    }
    if (file.write(text) != text.size() || !file.flush()) {
        // A part of the scan in the file would be stored twice or half.
        if (!file.resize(s.end)) {
            qWarning() << "held rows: a scan cut short stays in" << s.path
                       << "past the scans read back; next scans go to a new file";
            s.writable = false;
        }
        return false;
    }
    s.end += text.size();
    return true;
}

bool HeldRows::readSide(const Segment& segment, QList<Scan>& scans, qint64& next) const
{
    QFile file(segment.path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < segment.end || !file.seek(segment.read))
        return false;
    next = segment.read;
    FrameParser parser;
    while (scans.size() < m_Batch && file.pos() < segment.end) {
        const QByteArray line = file.readLine();
        // These bytes were written as whole scans: anything else means the
        // file was changed since.
        if (!line.endsWith('\n') || file.pos() > segment.end)
            return false;
        switch (parser.line(line.chopped(1))) {
        case FrameParser::Whole:
            scans.append(parser.take());
            next = file.pos();
            break;
        case FrameParser::Broken:
            return false;
        case FrameParser::More:
            break;
        }
    }
    return !parser.open();
}

bool HeldRows::readFile(const QString& path, FileScans& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    FrameParser parser;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n')) {
            ++out.broken; // the last line, never written whole
            return true;
        }
        switch (parser.line(line.chopped(1))) {
        case FrameParser::Whole:
            out.scans.append(parser.take());
            break;
        case FrameParser::Broken:
            ++out.broken;
            break;
        case FrameParser::More:
            break;
        }
    }
    if (parser.open())
        ++out.broken;
    return true;
}

void HeldRows::loseSegment(int i, const char* why)
{
    const Segment s = m_Segments.takeAt(i);
    qWarning() << "held rows: side file" << s.path << why << "," << s.scans << "scans in it counted lost;"
               << "the file is kept and no more scans go to it";
    m_LostScans += s.scans;
    m_LostRows += s.rows;
    m_SideScans -= s.scans;
    m_SideRows -= s.rows;
    // Named even while it is away: should it come back, it holds scans.
    m_LeftFiles << s.path;
}

void HeldRows::drained(int i)
{
    const Segment s = m_Segments.takeAt(i);
    if (QFile::remove(s.path) || !QFile::exists(s.path))
        return;
    // Not removable: emptied instead, so that nothing reads its scans again.
    if (QFile::resize(s.path, 0))
        return;
    qWarning() << "held rows: side file" << s.path << "can be neither removed nor emptied;"
               << "every scan in it is stored, next scans go to a new file";
    m_LeftFiles << s.path;
}

void HeldRows::refused(qint64 nowMs)
{
    ++m_Failures;
    const int shift = std::min(m_Failures - 1, 30);
    m_NextTryMs = nowMs + std::min(m_MaxMs, m_FirstMs << shift);
}

bool HeldRows::flush(const Writer& write, const Stored& stored, qint64 nowMs, int maxWrites)
{
    for (int w = 0; w < maxWrites && !isEmpty(); ++w) {
        // Files holding nothing any more before the one written to now.
        while (!m_Segments.isEmpty() && m_Segments.first().scans == 0
               && (m_Segments.size() > 1 || !m_Segments.first().writable))
            drained(0);
        QList<Scan> batch;
        qint64 next = 0;
        const bool fromSide = m_SideScans > 0 && !m_Segments.isEmpty();
        if (fromSide) {
            if (!readSide(m_Segments.first(), batch, next) || batch.isEmpty()) {
                loseSegment(0, "unreadable");
                continue;
            }
        } else {
            batch = m_Memory.mid(0, m_Batch);
        }
        QList<Tool::Struct_ParametersData> rows;
        for (const Scan& s : qAsConst(batch))
            rows << s.rows;
        if (!write(rows)) {
            refused(nowMs);
            return false;
        }
        if (fromSide) {
            Segment& s = m_Segments.first();
            s.read = next;
            s.scans -= batch.size();
            s.rows -= rows.size();
            m_SideScans -= batch.size();
            m_SideRows -= rows.size();
            if (s.read >= s.end || s.scans <= 0) {
                if (s.scans != 0)
                    loseSegment(0, "holds other scans than were written to it");
                else
                    drained(0);
            }
        } else {
            m_Memory.erase(m_Memory.begin(), m_Memory.begin() + batch.size());
        }
        for (const Scan& s : qAsConst(batch))
            stored(s);
    }
    m_Failures = 0;
    m_NextTryMs = 0;
    return isEmpty();
}

bool HeldRows::spillAll()
{
    while (!m_Memory.isEmpty()) {
        if (!spill(m_Memory.first()))
            return false;
        m_Memory.removeFirst();
    }
    return true;
}

void HeldRows::clear()
{
    m_Memory.clear();
    for (const Segment& s : qAsConst(m_Segments))
        QFile::remove(s.path);
    for (const QString& path : qAsConst(m_LeftFiles))
        QFile::remove(path);
    m_Segments.clear();
    m_LeftFiles.clear();
    m_SideScans = m_SideRows = 0;
    m_Failures = 0;
    m_NextTryMs = 0;
}

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

bool HeldRows::spill(const Scan& scan)
{
    if (m_SidePath.isEmpty())
        return false;
    QFile file(m_SidePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const qint64 before = file.size();
    QByteArray text;
    for (const Tool::Struct_ParametersData& row : scan.rows) {
        const QStringList fields{QString::number(scan.index), scan.time.toString(kTimeFormat),
                                 row.Time.toString(kTimeFormat), escaped(row.Name),
                                 escaped(row.Data.join(QLatin1Char(',')))};
        text += fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    if (file.write(text) != text.size() || !file.flush()) {
        // A part of the scan in the file would be stored twice or half.
        file.resize(before);
        return false;
    }
    ++m_SideScans;
    m_SideRows += scan.rows.size();
    return true;
}

bool HeldRows::readSide(QList<Scan>& scans, qint64& next) const
{
    QFile file(m_SidePath);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(m_SideOffset))
        return false;
    next = m_SideOffset;
    while (!file.atEnd()) {
        const qint64 lineStart = file.pos();
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break; // never written whole
        const QStringList f = QString::fromUtf8(line.chopped(1)).split(QLatin1Char('\t'));
        if (f.size() != 5)
            return false;
        const int index = f.at(0).toInt();
        if (scans.isEmpty() || scans.last().index != index) {
            if (scans.size() == m_Batch) {
                next = lineStart;
                return true;
            }
            scans.append(Scan{index, QDateTime::fromString(f.at(1), kTimeFormat), {}});
        }
        Tool::Struct_ParametersData row;
        row.Time = QDateTime::fromString(f.at(2), kTimeFormat);
        row.Name = unescaped(f.at(3));
        const QString data = unescaped(f.at(4));
        row.Data = data.isEmpty() ? QStringList() : data.split(QLatin1Char(','));
        scans.last().rows.append(row);
        next = file.pos();
    }
    return true;
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
        QList<Scan> batch;
        qint64 next = 0;
        const bool fromSide = m_SideScans > 0;
        if (fromSide) {
            if (!readSide(batch, next) || batch.isEmpty()) {
                qWarning() << "held rows: side file" << m_SidePath << "unreadable," << m_SideScans
                           << "scans left in it";
                m_LostScans += m_SideScans;
                m_LostRows += m_SideRows;
                m_SideScans = m_SideRows = 0;
                m_SideOffset = 0;
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
            m_SideOffset = next;
            m_SideScans -= batch.size();
            m_SideRows -= rows.size();
            if (m_SideScans <= 0) {
                QFile::remove(m_SidePath);
                m_SideScans = m_SideRows = 0;
                m_SideOffset = 0;
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
    if (m_SideScans > 0)
        QFile::remove(m_SidePath);
    m_SideScans = m_SideRows = 0;
    m_SideOffset = 0;
    m_Failures = 0;
    m_NextTryMs = 0;
}

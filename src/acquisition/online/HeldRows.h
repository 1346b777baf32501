#pragma once

#include "Records.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

// Scan rows the database refused, kept in order for retry. Memory holds at
// most a bounded number of scans; older ones move to a side file (plain
// text, one row a line, readable by a person should the program die) and
// are written from there first. Only when the side file cannot be written
// either is the oldest scan dropped, and counted. After a refused write the
// next try waits, doubling up to a bound, on the caller's clock.
class HeldRows
{
public:
    struct Scan
    {
        int index = 0;
        QDateTime time;
        QList<Tool::Struct_ParametersData> rows;
    };
    using Writer = std::function<bool(const QList<Tool::Struct_ParametersData>&)>;
    using Stored = std::function<void(const Scan&)>;

    explicit HeldRows(const QString& sidePath = QString());

    void setLimits(int memoryScans, int batchScans);
    void setBackoff(qint64 firstMs, qint64 maxMs);

    // Holds a scan; may move the oldest to the side file or drop it.
    void add(const Scan& scan);
    bool isEmpty() const { return m_Memory.isEmpty() && m_SideScans == 0; }
    int scans() const { return m_Memory.size() + m_SideScans; }
    int rows() const;
    int sideScans() const { return m_SideScans; }
    int lostScans() const { return m_LostScans; }
    int lostRows() const { return m_LostRows; }
    int failures() const { return m_Failures; }
    QString sidePath() const { return m_SidePath; }

    bool retryDue(qint64 nowMs) const { return nowMs >= m_NextTryMs; }
    // Writes held scans oldest first, at most batchScans scans a write and
    // at most maxWrites writes; stops at the first refusal and schedules the
    // next try. Returns true when nothing is held any more.
    bool flush(const Writer& write, const Stored& stored, qint64 nowMs, int maxWrites);
    // Moves every scan held in memory to the side file (at close).
    bool spillAll();
    // Drops everything (the user discarded the run).
    void clear();

private:
    bool spill(const Scan& scan);
    bool readSide(QList<Scan>& scans, qint64& next) const;
    void refused(qint64 nowMs);

    QString m_SidePath;
    int m_MemoryLimit = 2000;
    int m_Batch = 250;
    qint64 m_FirstMs = 1000;
    qint64 m_MaxMs = 30000;

    QList<Scan> m_Memory;
    qint64 m_SideOffset = 0; // first byte of the side file not yet stored
    int m_SideScans = 0;
    int m_SideRows = 0;
    int m_LostScans = 0;
    int m_LostRows = 0;
    int m_Failures = 0;
    qint64 m_NextTryMs = 0;
};

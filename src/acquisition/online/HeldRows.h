#pragma once

#include "Records.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Scan rows the database refused, kept in order for retry. Memory holds at
// most a bounded number of scans; older ones move to a side file (plain
// text, one row a line, each scan closed by an end line naming its index and
// row count, readable by a person should the program die) and are written
// from there first. Only when the side file cannot be written either is the
// oldest scan dropped, and counted.
//
// Every write, cut and removal of a side file is checked. A scan is read
// back only from the bytes known to hold whole scans; a file that cannot be
// read back, cut after a failed write or emptied once stored is left alone
// and the next scans go to a new file, so no scan is stored twice and none
// is lost uncounted. After a refused write the next try waits, doubling up
// to a bound, on the caller's clock.
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
    // The side file written to now (or last).
    QString sidePath() const;
    // The side files holding held scans, oldest first.
    QStringList sideFiles() const;
    // Side files given up during the run (unreadable, or not removable once
    // stored); what they held is counted lost or was stored.
    QStringList leftFiles() const { return m_LeftFiles; }

    bool retryDue(qint64 nowMs) const { return nowMs >= m_NextTryMs; }
    // Writes held scans oldest first, at most batchScans scans a write and
    // at most maxWrites writes; stops at the first refusal and schedules the
    // next try. Returns true when nothing is held any more.
    bool flush(const Writer& write, const Stored& stored, qint64 nowMs, int maxWrites);
    // Moves every scan held in memory to the side file (at close).
    bool spillAll();
    // Drops everything (the user discarded the run), side files included.
    void clear();

    // The whole scans of a side file, whatever a failed write or a crash
    // left in it: a scan without its end line, or whose rows do not match
    // it, is not taken. False when the file cannot be read.
    struct FileScans
    {
        QList<Scan> scans;
        int broken = 0; // frames not taken
    };
    static bool readFile(const QString& path, FileScans& out);
    // The text of one scan as the side file holds it.
    static QByteArray frame(const Scan& scan);

private:
    // One side file: bytes [read, end) hold whole scans not yet stored.
    struct Segment
    {
        QString path;
        qint64 read = 0;
        qint64 end = 0;
        int scans = 0;
        int rows = 0;
        bool writable = true;
    };
    bool spill(const Scan& scan);
    bool spillInto(Segment& segment, const QByteArray& text);
    QString freshPath();
    // Reads up to the batch from the oldest file; false when it cannot be read.
    bool readSide(const Segment& segment, QList<Scan>& scans, qint64& next) const;
    void loseSegment(int i, const char* why);
    void drained(int i);
    void refused(qint64 nowMs);

    QString m_SidePath;
    QString m_LastPath;
    int m_MemoryLimit = 2000;
    int m_Batch = 250;
    qint64 m_FirstMs = 1000;
    qint64 m_MaxMs = 30000;

    QList<Scan> m_Memory;
    QList<Segment> m_Segments; // oldest first; the last one is written to
    QStringList m_LeftFiles;
    int m_SideScans = 0;
    int m_SideRows = 0;
    int m_LostScans = 0;
    int m_LostRows = 0;
    int m_Failures = 0;
    qint64 m_NextTryMs = 0;
};

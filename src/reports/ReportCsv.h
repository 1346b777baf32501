#pragma once

#include "Records.h"
#include "ReportData.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QVector>

#include <atomic>
#include <functional>
#include <limits>

// The data table as a CSV file for spreadsheets and scripts: UTF-8 with a
// byte-order mark (so spreadsheet programs read the Chinese header), one
// header line "时间" and "label(unit)" per kept channel as the data table
// heads them, then one line per row of the segments in time order (a row
// where one segment ends and the next begins is written once): the full
// local date and time, the values with the report's decimals, an empty field
// for a value that is no number. Fields are separated by commas, lines end in
// CR LF, and a field holding a comma, quote or line break is quoted.
//
// Times are "yyyy-MM-dd HH:mm:ss", with ".zzz" when the print interval is not
// a whole number of seconds (rows then fall between seconds).
//
// Streamed: lines go out through a fixed buffer as they are made, so a week
// takes no more memory than an hour. Written into path + ".part" and renamed
// onto the path only when complete; a failure or a cancel leaves no file and
// an older file at the path as it was.
class ReportCsv
{
    Q_DECLARE_TR_FUNCTIONS(ReportCsv)
public:
    explicit ReportCsv(const QString& path);
    ~ReportCsv();
    ReportCsv(const ReportCsv&) = delete;
    ReportCsv& operator=(const ReportCsv&) = delete;

    // The prepared copies (kept channels, thinned rows) as the other writers get them.
    void setData(int decimals, const Tool::Struct_Parameters& project, const QVector<qint64>& times,
                 const QVector<QVector<double>>& columns, const QList<QDateTime>& segmentStart,
                 const QList<QDateTime>& segmentEnd, const QString& printInterval);
    // Called from the writing thread at most about 20 times a second and at
    // the end, with the rows written and in all.
    void setProgress(std::function<void(qint64 done, qint64 total)> progress);
    void setCancel(const std::atomic<bool>* cancel);

    // True when the complete file is at the path.
    bool write();
    // Why it failed, for the user; empty after a cancel.
    QString failure() const { return m_failure; }

    static bool withMilliseconds(const QString& printInterval);
    // A field as CSV needs it: quoted when it holds a comma, quote or line break.
    static QByteArray field(const QString& text);

private:
    bool put(const char* data, int size);
    bool flush();
    bool fail(const QString& reason);
    int timeText(qint64 ms, char* out);

    QString m_path;
    QFile m_file;
    int m_decimals = 2;
    bool m_millis = false;
    Tool::Struct_Parameters m_project;
    QVector<qint64> m_times;
    QVector<QVector<double>> m_columns;
    QList<int> m_startRows, m_endRows;
    QByteArray m_buffer;
    QString m_failure;
    std::function<void(qint64, qint64)> m_progress;
    const std::atomic<bool>* m_cancel = nullptr;
    QElapsedTimer m_progressClock;
    // Local time: the offset from UTC is looked up once per quarter hour.
    LocalClock m_clock;
};

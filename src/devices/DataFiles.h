#pragma once

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QStringList>

// Readers of the data files the loggers export, shared by the drivers (the
// 3107A and 3108A write one format, the 1586A another). Each open call
// matches the file's channel columns to the requested channel numbers and
// leaves the file positioned at the first record; each read call searches
// forward from there for the record of a given time. Times are compared as
// their clocks read (the record's text, the time as its own time zone shows it).
namespace DataFiles {

// "Time,CH01,CH02,…": at least 9 fields, channel "1" + the header's 3rd and
// 4th characters; a header shorter than 4 characters ends the columns.
// True when every requested channel has a column.
bool openLoggerFile(QFile& file, QList<bool>& columnUsed, const QString& name, const QStringList& channels);
// The record within one second of time: values of the used columns as
// numbers with six significant digits.
bool readLoggerRecord(QFile& file, const QList<bool>& columnUsed, const QDateTime& time, QStringList& values);

// "Record,Time,Ch 101 (C),…": at least 5 fields, every column after the
// second at least 10 characters long with the channel number at characters
// 4 to 6. True when every requested channel has a column.
bool openScannerFile(QFile& file, QList<bool>& columnUsed, const QString& name, const QStringList& channels);
// The record whose time (field 1, with milliseconds) is within 1000 ms of
// time: the texts of the used columns exactly as stored.
bool readScannerRecord(QFile& file, const QList<bool>& columnUsed, const QDateTime& time, QStringList& values);

// A time written as `format` ("yyyy-MM-dd hh:mm:ss" or with ".zzz") as its
// clock reading in ms (no time zone); false when the text is none.
bool clockMs(const QString& text, const QString& format, qint64& ms);
// The clock reading of `time` as its own time zone shows it, on the same count.
qint64 clockMs(const QDateTime& time);

} // namespace DataFiles

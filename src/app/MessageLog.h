#pragma once

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QString>
#include <QtGlobal>

#include <functional>

// The process-wide diagnostic log: one file per day in the working directory,
// every level written, one mutex for all threads.
namespace MessageLog {

QString levelWord(QtMsgType type);
// "<level> (<time>)   File:(<file>) Line:(<line>) <message>"
QString formatLine(QtMsgType type, const char* file, int line, const QString& message, const QDateTime& now);
// "log_yyyy-MM-dd.log"
QString fileNameFor(const QDate& day);
// Deletes "log_<date>.log" files in `dir` dated more than 31 days before `today`.
// Returns the names removed.
QStringList removeOldLogs(const QDir& dir, const QDate& today);

// The clock the handler uses; tests replace it to cross midnight.
void setClock(std::function<QDateTime()> clock);

} // namespace MessageLog

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);

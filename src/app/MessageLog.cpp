#include "MessageLog.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <mutex>

namespace MessageLog {

namespace {
std::function<QDateTime()>& clock()
{
    static std::function<QDateTime()> c = [] { return QDateTime::currentDateTime(); };
    return c;
}

std::mutex& logMutex()
{
    static std::mutex mutex;
    return mutex;
}
} // namespace

QString levelWord(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("Debug:");
    case QtWarningMsg:
        return QStringLiteral("Warning:");
    case QtCriticalMsg:
        return QStringLiteral("Critical:");
    case QtFatalMsg:
        return QStringLiteral("Fatal:");
    case QtInfoMsg:
        break;
    }
    return QString();
}

QString formatLine(QtMsgType type, const char* file, int line, const QString& message, const QDateTime& now)
{
    const QString time = QStringLiteral("(%1)").arg(now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ddd")));
    const QString location =
        QStringLiteral("File:(%1) Line:(%2)").arg(QString::fromUtf8(file ? file : "")).arg(line);
    return QStringLiteral("%1 %2   %3 %4").arg(levelWord(type), time, location, message);
}

QString fileNameFor(const QDate& day)
{
    return QStringLiteral("log_") + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log");
}

QStringList removeOldLogs(const QDir& dir, const QDate& today)
{
    QStringList removed;
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.log")},
                                                  QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& info : files) {
        const QString base = info.completeBaseName();
        if (!base.startsWith(QLatin1String("log_")))
            continue;
        const QDate date = QDate::fromString(base.mid(4), QStringLiteral("yyyy-MM-dd"));
        const qint64 age = date.isValid() ? date.daysTo(today) : 0;
        if (age > 31 && QFile::remove(dir.filePath(info.fileName())))
            removed << info.fileName();
    }
    return removed;
}

void setClock(std::function<QDateTime()> c)
{
    std::lock_guard<std::mutex> lock(logMutex());
    clock() = c ? std::move(c) : [] { return QDateTime::currentDateTime(); };
}

} // namespace MessageLog

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    std::lock_guard<std::mutex> lock(MessageLog::logMutex());
    const QDateTime now = MessageLog::clock()();
    const QString line = MessageLog::formatLine(type, context.file, context.line, message, now);
    QFile file(MessageLog::fileNameFor(now.date()));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        QTextStream out(&file);
        out.setCodec("UTF-8");
        out << line << "\n";
        out.flush();
        file.close();
    }
}

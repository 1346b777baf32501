#include "DatabaseSettings.h"

#include "Tool.h"

#include <QFileInfo>
#include <QSettings>

namespace Tool {

QString DatabaseSettings::describe() const
{
    if (engine == Engine::SQLite)
        return QStringLiteral("SQLite ") + file;
    return QStringLiteral("PostgreSQL %1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

bool readDatabaseSettings(const QString& path, DatabaseSettings* settings, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    *settings = DatabaseSettings();
    settings->file = QString::fromLatin1(DatabaseFileName);
    if (!QFileInfo(path).isFile())
        return true;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return fail(QStringLiteral("%1 cannot be read").arg(path));
    ini.beginGroup(QStringLiteral("database"));
    const QString engine = ini.value(QStringLiteral("engine"), QStringLiteral("sqlite")).toString().trimmed().toLower();
    if (engine == QLatin1String("sqlite")) {
        const QString file = ini.value(QStringLiteral("file")).toString().trimmed();
        if (!file.isEmpty())
            settings->file = file;
        return true;
    }
    if (engine != QLatin1String("postgresql") && engine != QLatin1String("postgres"))
        return fail(QStringLiteral("%1: unknown engine \"%2\" (sqlite or postgresql)").arg(path, engine));
    settings->engine = Engine::PostgreSQL;
    settings->host = ini.value(QStringLiteral("host"), QStringLiteral("localhost")).toString().trimmed();
    bool ok = true;
    settings->port = ini.value(QStringLiteral("port"), 5432).toInt(&ok);
    if (!ok || settings->port <= 0 || settings->port > 65535)
        return fail(QStringLiteral("%1: port must be a number from 1 to 65535").arg(path));
    settings->database = ini.value(QStringLiteral("database")).toString().trimmed();
    settings->user = ini.value(QStringLiteral("user")).toString().trimmed();
    settings->options = ini.value(QStringLiteral("options")).toString().trimmed();
    // A password in the file wins; otherwise the environment's (libpq falls
    // back to ~/.pgpass when both are empty).
    settings->password = ini.value(QStringLiteral("password")).toString();
    if (settings->password.isEmpty())
        settings->password = qEnvironmentVariable(DatabasePasswordVariable);
    if (settings->database.isEmpty() || settings->user.isEmpty())
        return fail(QStringLiteral("%1: a server needs database and user").arg(path));
    return true;
}

} // namespace Tool

#include "DatabaseSettings.h"

#include "Tool.h"

#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <QtDebug>

namespace Tool {

QString DatabaseSettings::describe() const
{
    if (engine == Engine::SQLite)
        return QStringLiteral("SQLite ") + file;
    return QStringLiteral("PostgreSQL %1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

namespace {

// A value as written: everything after the first "=", trimmed; inside
// double quotes, \" and \\ stand for " and \. Nothing else is special, so
// ";" and "," are part of the value (a general INI reader takes ";" for a
// comment and "," for a list, and loses what follows).
QString iniValue(QString text)
{
    text = text.trimmed();
    if (text.size() < 2 || !text.startsWith(QLatin1Char('"')) || !text.endsWith(QLatin1Char('"')))
        return text;
    QString out;
    for (int i = 1; i < text.size() - 1; ++i) {
        QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 2 < text.size())
            c = text.at(++i);
        out += c;
    }
    return out;
}

// The keys of one section; lines starting with ";" or "#" are comments.
QHash<QString, QString> readSection(const QByteArray& bytes, const QString& section)
{
    QHash<QString, QString> values;
    QString current;
    for (const QString& raw : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2).trimmed().toLower();
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && current == section)
            values.insert(line.left(eq).trimmed().toLower(), iniValue(line.mid(eq + 1)));
    }
    return values;
}

// A libpq option value, quoted when it holds a space or a quote.
QString libpqValue(QString v)
{
    if (!v.isEmpty() && !v.contains(QLatin1Char(' ')) && !v.contains(QLatin1Char('\'')) && !v.contains(QLatin1Char('\\')))
        return v;
    return QLatin1Char('\'') + v.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"))
           + QLatin1Char('\'');
}

} // namespace

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
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1 cannot be read").arg(path));
    const QHash<QString, QString> ini = readSection(f.readAll(), QStringLiteral("database"));
    auto value = [&ini](const char* key, const QString& fallback = QString()) {
        return ini.value(QLatin1String(key), fallback);
    };
    const QString engine = value("engine", QStringLiteral("sqlite")).toLower();
    if (engine == QLatin1String("sqlite")) {
        const QString file = value("file");
        if (!file.isEmpty())
            settings->file = file;
        return true;
    }
    if (engine != QLatin1String("postgresql") && engine != QLatin1String("postgres"))
        return fail(QStringLiteral("%1: unknown engine \"%2\" (sqlite or postgresql)").arg(path, engine));
    settings->engine = Engine::PostgreSQL;
    settings->host = value("host", QStringLiteral("localhost"));
    bool ok = true;
    settings->port = value("port", QStringLiteral("5432")).toInt(&ok);
    if (!ok || settings->port <= 0 || settings->port > 65535)
        return fail(QStringLiteral("%1: port must be a number from 1 to 65535").arg(path));
    settings->database = value("database");
    settings->user = value("user");
    QStringList options;
    if (!value("options").isEmpty())
        options << value("options");
    // TLS by keys of their own: the lab's CA and how strictly to check the server.
    for (const char* key : {"sslmode", "sslrootcert", "sslcert", "sslkey"})
        if (!value(key).isEmpty())
            options << QString::fromLatin1(key) + QLatin1Char('=') + libpqValue(value(key));
    settings->options = options.join(QLatin1Char(';'));
    // A password in the file wins; otherwise the environment's (libpq falls
    // back to ~/.pgpass when both are empty).
    settings->password = value("password");
#ifdef Q_OS_UNIX
    if (!settings->password.isEmpty()
        && (f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)))
        qWarning().noquote() << path << "holds a password and other users may read it (chmod 600" << path + QLatin1Char(')');
#endif
    if (settings->password.isEmpty())
        settings->password = qEnvironmentVariable(DatabasePasswordVariable);
    if (settings->database.isEmpty() || settings->user.isEmpty())
        return fail(QStringLiteral("%1: a server needs database and user").arg(path));
    return true;
}

} // namespace Tool

#include "TestSupport.h"

#include "Tool.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

TestWorkDir::TestWorkDir() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

TestWorkDir::~TestWorkDir()
{
    TestSupport::closeDatabase();
    QDir::setCurrent(m_previous);
}

namespace TestSupport {

bool openDatabase() { return Tool::openDefaultDatabase(); }

void closeDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

QVariant scalar(const QString& sql)
{
    QSqlQuery q;
    if (!q.exec(sql) || !q.next())
        return QVariant();
    return q.value(0);
}

QString sourcePath(const QString& relative)
{
    return QString::fromLocal8Bit(qgetenv("ARQ_SOURCE_DIR")) + QLatin1Char('/') + relative;
}

} // namespace TestSupport

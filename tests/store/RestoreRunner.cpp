// arq-restore-runner: restores two backups in turn onto the database of a
// working directory, as the settings page does, until killed.
//
//   arq-restore-runner DIR A.db3 B.db3
//
// Prints "RESTORED A" or "RESTORED B" after each commit.
#include "Backup.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 || !QDir::setCurrent(args.at(1))) {
        std::fprintf(stderr, "usage: arq-restore-runner DIR A.db3 B.db3\n");
        return 2;
    }
    const QString database = QDir::current().filePath(QStringLiteral("ARQ-310MX.db3"));
    for (int n = 0;; ++n) {
        const bool a = n % 2 == 0;
        const QString temp = database + QStringLiteral(".restore");
        QString why;
        if (!Backup::prepareRestore(args.at(a ? 2 : 3), temp, &why)) {
            std::fprintf(stderr, "prepare: %s\n", why.toLocal8Bit().constData());
            return 1;
        }
        if (!Backup::commitRestore(temp, database)) {
            std::fprintf(stderr, "commit failed\n");
            return 1;
        }
        // The program reopens the restored database, as after a restore.
        if (!Tool::openDefaultDatabase())
            return 1;
        {
            QSqlDatabase db = QSqlDatabase::database();
            db.close();
        }
        QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
        std::printf("RESTORED %s\n", a ? "A" : "B");
        std::fflush(stdout);
    }
}

// arq-lab-admin: the lab database's tables and logins, run by the database's
// owner (the login database.ini names, or --ini FILE's).
//
//   arq-lab-admin [--ini FILE] --setup            create or upgrade the tables,
//                                                 grant the bench role its rows
//   arq-lab-admin [--ini FILE] --add-bench LOGIN  a bench login (its password
//                                                 read from standard input)
//   arq-lab-admin [--ini FILE] --check            the tables' version
//
// Exit status: 0 done (--check: usable), 1 failed, 2 wrong use.
#include "LabAdmin.h"
#include "ServerLink.h"
#include "SqlEngine.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QTextStream>

#include <cstdio>
#include <iostream>
#include <string>

namespace {
// The command's texts, in the translations' context "LabAdmin".
struct LabAdmin
{
    Q_DECLARE_TR_FUNCTIONS(LabAdmin)
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    const QStringList args = app.arguments();
    QString ini = QString::fromLatin1(Tool::DatabaseSettingsFileName), action, login;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--ini") && i + 1 < args.size())
            ini = args.at(++i);
        else if (a == QLatin1String("--add-bench") && i + 1 < args.size())
            action = a, login = args.at(++i);
        else if (a == QLatin1String("--setup") || a == QLatin1String("--check"))
            action = a;
        else
            action = QStringLiteral("?");
    }
    if (action.isEmpty() || action == QLatin1String("?")) {
        err << LabAdmin::tr("用法：arq-lab-admin [--ini 文件] --setup | --add-bench 登录名 | --check") << '\n';
        return 2;
    }
    Tool::DatabaseSettings settings;
    QString why;
    if (!Tool::readDatabaseSettings(ini, &settings, &why) || settings.engine != Tool::Engine::PostgreSQL) {
        err << LabAdmin::tr("%1 未指定实验室数据库服务器（engine=postgresql）。").arg(ini) << ' ' << why << '\n';
        return 1;
    }
    int rc = 1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("arq-lab-admin"));
        Tool::Sql::applyServerSettings(db, settings);
        if (!Tool::Sql::openWithin(db, settings, Tool::Sql::InteractiveBudgetMs, &why)) {
            err << LabAdmin::tr("无法连接实验室数据库服务器：") << settings.describe() << ": " << why << '\n';
        } else if (action == QLatin1String("--setup")) {
            if (Tool::LabAdmin::setupSchema(db, &why)) {
                out << LabAdmin::tr("实验室数据库表已就绪（版本 %1），工作站角色 %2 可读写数据行。")
                           .arg(Tool::LabAdmin::SchemaVersion)
                           .arg(QString::fromLatin1(Tool::LabAdmin::BenchRole))
                    << '\n';
                rc = 0;
            } else {
                err << LabAdmin::tr("建立或升级数据库表失败：") << why << '\n';
            }
        } else if (action == QLatin1String("--check")) {
            const Tool::LabAdmin::Check check = Tool::LabAdmin::checkSchema(db);
            out << LabAdmin::tr("数据库表版本：%1").arg(check.version) << '\n';
            if (check.result == Tool::LabAdmin::Check::Usable)
                rc = 0;
            else
                err << Tool::LabAdmin::refusal(check) << '\n';
        } else {
            // Never on the command line: a password there is seen by every user of the machine.
            std::string line;
            std::getline(std::cin, line);
            const QString password = QString::fromStdString(line);
            if (Tool::LabAdmin::addBench(db, login, password, &why)) {
                out << LabAdmin::tr("工作站登录 %1 已建立。").arg(login) << '\n';
                rc = 0;
            } else {
                err << LabAdmin::tr("建立工作站登录失败：") << why << '\n';
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("arq-lab-admin"));
    return rc;
}

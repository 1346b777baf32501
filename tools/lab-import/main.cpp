// arq-lab-import FILE: copies a bench's SQLite database into the lab
// database named by database.ini in the working directory, in one
// transaction; refused whole when a project, channel configuration or
// certificate name is there already.
//
// Exit status: 0 copied, 2 refused (names taken), 1 failed.
#include "LabImport.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
// The command's texts, in the translations' context "LabImport".
struct LabImport
{
    Q_DECLARE_TR_FUNCTIONS(LabImport)
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 2 || args.at(1).startsWith(QLatin1Char('-'))) {
        err << LabImport::tr("用法：arq-lab-import 工作站数据库文件") << '\n';
        return 1;
    }
    QString why;
    Tool::DatabaseSettings settings;
    if (!Tool::openConfiguredDatabase(&why, &settings)) {
        err << LabImport::tr("打开实验室数据库失败：") << why << '\n';
        return 1;
    }
    if (settings.engine != Tool::Engine::PostgreSQL) {
        err << LabImport::tr("database.ini 未指定实验室数据库服务器（engine=postgresql）。") << '\n';
        return 1;
    }
    const Tool::ImportOutcome outcome = Tool::importBenchFile(args.at(1));
    Tool::closeDefaultDatabase();
    if (!outcome.taken.isEmpty()) {
        err << LabImport::tr("实验室数据库中已有同名记录，未导入任何数据：") << outcome.taken.join(QStringLiteral("，")) << '\n';
        return 2;
    }
    if (!outcome.ok) {
        err << LabImport::tr("导入失败，未导入任何数据：") << outcome.error << '\n';
        return 1;
    }
    out << LabImport::tr("已导入 %1 个项目、%2 行采集数据；实验室已有的 %3 条标准器等记录保持不变。")
               .arg(outcome.projects)
               .arg(outcome.rows)
               .arg(outcome.kept)
        << '\n';
    return 0;
}

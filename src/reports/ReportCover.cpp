#include "ReportCover.h"

ReportCover ReportCover::fromProject(const Tool::Struct_Parameters& project)
{
    ReportCover c;
    c.start = project.Start;
    c.end = project.End;
    c.scanInterval = project.ScanInterval;
    c.printInterval = project.ScanInterval;
    return c;
}

QString ReportCover::seconds(const QString& interval)
{
    const QString t = interval.trimmed();
    return t.isEmpty() ? QString() : t + QStringLiteral("s");
}

QStringList ReportCover::channels(const Tool::Struct_Parameters& project)
{
    QStringList out;
    for (int i = 0; i < project.Channel.size(); ++i)
        out << project.Channel.at(i) + QLatin1Char('(') + project.Unit.value(i) + QLatin1Char(')');
    return out;
}

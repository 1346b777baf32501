#pragma once

// Rows stored through the bulk paths and read back raw: both paths must
// store the same text (never NULL), whichever SQLite they reach.
#include "Tool.h"

#include <QSqlQuery>
#include <QStringList>
#include <QtTest>

namespace BulkRows {

inline QList<Tool::Struct_ParametersData> rows(const QString& name)
{
    const QDateTime t = QDateTime::fromString("2024-01-01 10:00:00.250", "yyyy-MM-dd hh:mm:ss.zzz");
    return {{name, t, QStringList{"1.5", "-2", ""}},
            {name, t.addMSecs(1750), QStringList{"23.000", "温度"}},
            {name, QDateTime(), QStringList{}},
            {name, t.addDays(400), QStringList{"1e-3"}},
            // What COPY's text format must escape arrives unchanged.
            {name, t.addSecs(3), QStringList{"a\tb", "c\\d\ne\r", "\\N"}}};
}

// Name, Time and Data of the project's rows in insertion order, with their SQLite types.
inline QStringList stored(const QString& name)
{
    QSqlQuery q;
    if (QSqlDatabase::database().driverName() == QLatin1String("QPSQL"))
        q.prepare("select Name, Time, Data, pg_typeof(Name)::text || pg_typeof(Time)::text || pg_typeof(Data)::text"
                  " from ParametersData where Name = ? order by Seq");
    else
        q.prepare("select Name, Time, Data, typeof(Name) || typeof(Time) || typeof(Data) from ParametersData"
                  " where Name = ? order by rowid");
    q.addBindValue(name);
    QStringList out;
    if (!q.exec())
        return {QStringLiteral("query failed")};
    while (q.next())
        out << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                           q.value(3).toString()}
                   .join(QLatin1Char('|'));
    return out;
}

inline QStringList expected(const QString& name)
{
    return {name + "|2024-01-01 10:00:00.250|1.5,-2,|texttexttext", name + "|2024-01-01 10:00:02.000|23.000,温度|texttexttext",
            name + "|||texttexttext", name + "|2025-02-04 10:00:00.250|1e-3|texttexttext",
            name + "|2024-01-01 10:00:03.250|a\tb,c\\d\ne\r,\\N|texttexttext"};
}

// Stores the rows under `name` by addParametersDataBulk and under name + "-p"
// by addProjects, and checks both read back exactly.
inline void storeAndCheck(const QString& name)
{
    QVERIFY(Tool::addParametersDataBulk(rows(name)));
    QCOMPARE(stored(name), expected(name));
    Tool::Struct_Parameters project;
    project.Name = name + "-p";
    QCOMPARE(Tool::addProjects({project}, rows(project.Name), QString(), {}, nullptr), Tool::StoreOutcome::Stored);
    QCOMPARE(stored(project.Name), expected(project.Name));
}

} // namespace BulkRows

#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh temporary working directory for one test: the program keeps every
// file in its working directory, so each test case gets its own.
class TestWorkDir
{
public:
    TestWorkDir();
    ~TestWorkDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

namespace TestSupport {
// Opens "ARQ-310MX.db3" in the current directory as the default connection.
bool openDatabase();
void closeDatabase();
// Runs one statement on the default connection and returns the first column
// of the first row (for checks that the store API does not offer).
QVariant scalar(const QString& sql);
// Path to a file in the source tree.
QString sourcePath(const QString& relative);
} // namespace TestSupport

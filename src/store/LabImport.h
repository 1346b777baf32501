#pragma once

// Moving a bench's SQLite file into the lab's database: every shared table
// copied in one transaction on the default connection (the lab server), so
// an import that fails leaves the server as it was.

#include <QString>
#include <QStringList>

namespace Tool {

struct ImportOutcome
{
    bool ok = false;
    // Project, channel configuration or certificate names the server holds
    // already: the import is refused and nothing is copied.
    QStringList taken;
    QString error;      // why it failed otherwise
    int projects = 0;   // copied
    int rows = 0;       // scan rows copied
    int kept = 0;       // lab records (standards, sources, readouts, lab entries) the server had already: its own kept
};

// Copies the shared records of the SQLite file at `path` into the database
// of the default connection. The file is only read.
ImportOutcome importBenchFile(const QString& path);

} // namespace Tool

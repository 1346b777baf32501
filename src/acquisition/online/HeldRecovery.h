#pragma once

#include <QString>
#include <QStringList>

// Scans an earlier run could not store (the database refused them until the
// run ended, or the program died) wait in side files beside the database,
// "<database>.held-<time>.tsv". At the next start their whole scans are
// stored; a scan already stored and one of a project no longer stored are
// left out, so a file read twice stores nothing twice. A file is removed once
// its scans are stored; one that cannot be read or stored stays for the next
// start.
namespace HeldRecovery {

struct Outcome
{
    QStringList files; // side files found
    int stored = 0;    // scans stored now
    int already = 0;   // scans found stored already
    int orphaned = 0;  // scans of projects no longer stored
    int broken = 0;    // scans cut short, not stored
    QStringList kept;  // files left for the next start
};

QStringList sideFiles(const QString& databasePath);
Outcome recover(const QString& databasePath);
// What to tell the user; empty when there is nothing to tell.
QString message(const Outcome& outcome);

} // namespace HeldRecovery

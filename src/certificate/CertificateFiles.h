#pragma once

#include "Certificate.h"

#include <QCoreApplication>
#include <QString>

#include <atomic>
#include <functional>

// The three files of a certificate side by side: the PDF at the chosen path,
// the data (".json") and the results table (".csv") beside it. Each is
// written to a temporary file and moved into place only when all three are
// whole, so a failure or a cancel leaves no partial file.
class CertificateFiles
{
    Q_DECLARE_TR_FUNCTIONS(CertificateFiles)
public:
    // "x.pdf" → "x.json", "x.csv"; a path without ".pdf" gets it.
    static QString pdfPath(const QString& chosen);
    static QString jsonPath(const QString& pdf);
    static QString csvPath(const QString& pdf);

    struct Result
    {
        bool ok = false;
        bool cancelled = false;
        int pages = 0;
        QString error; // why it failed, for the user
    };

    static Result write(const Certificate::Content& content, const QString& pdf,
                        const std::function<void(int, int)>& progress = {},
                        const std::atomic<bool>* cancel = nullptr);
};

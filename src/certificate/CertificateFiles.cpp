#include "CertificateFiles.h"

#include "Backup.h"
#include "CertificatePdf.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kPart = QStringLiteral(".part");

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = f.write(bytes) == bytes.size() && f.flush();
    f.close();
    return ok && f.error() == QFileDevice::NoError;
}

} // namespace

QString CertificateFiles::pdfPath(const QString& chosen)
{
    return QFileInfo(chosen).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0
               ? chosen
               : chosen + QStringLiteral(".pdf");
}

QString CertificateFiles::jsonPath(const QString& pdf)
{
    return pdf.left(pdf.size() - 4) + QStringLiteral(".json");
}

QString CertificateFiles::csvPath(const QString& pdf)
{
    return pdf.left(pdf.size() - 4) + QStringLiteral(".csv");
}

CertificateFiles::Result CertificateFiles::write(const Certificate::Content& content, const QString& chosen,
                                                 const std::function<void(int, int)>& progress,
                                                 const std::atomic<bool>* cancel)
{
    Result result;
    const QString pdf = pdfPath(chosen);
    const QStringList targets{pdf, jsonPath(pdf), csvPath(pdf)};
    for (const QString& target : targets) {
        const QFileInfo info(target);
        if (info.isDir() || (info.exists() && !info.isWritable())) {
            result.error = tr("无法写入 %1").arg(target);
            return result;
        }
    }
    const auto cleanUp = [&] {
        for (const QString& target : targets)
            QFile::remove(target + kPart);
    };
    {
        QFile file(pdf + kPart);
        // Read access too: the text map is mended in place once the pages are written.
        if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
            result.error = tr("无法写入 %1").arg(pdf);
            return result;
        }
        CertificatePdf writer(content);
        const bool painted = writer.write(file, progress, cancel, &result.pages);
        file.close();
        if (cancel && cancel->load()) {
            result.cancelled = true;
            cleanUp();
            return result;
        }
        if (!painted || file.error() != QFileDevice::NoError) {
            result.error = tr("无法写入 %1").arg(pdf);
            cleanUp();
            return result;
        }
    }
    if (!writeAll(targets.at(1) + kPart, Certificate::toJson(content))
        || !writeAll(targets.at(2) + kPart, Certificate::resultsCsv(content))) {
        result.error = tr("无法写入 %1").arg(targets.at(1));
        cleanUp();
        return result;
    }
    for (const QString& target : targets)
        if (!Backup::replaceFile(target + kPart, target)) {
            result.error = tr("无法写入 %1").arg(target);
            cleanUp();
            return result;
        }
    result.ok = true;
    return result;
}

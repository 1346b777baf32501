#include "ReportJob.h"

#include <QtDebug>

bool ReportJob::run(const std::function<void(qint64, qint64)>&, const std::atomic<bool>*) const
{
    qWarning() << "no report writer for" << options.Format;
    return false;
}

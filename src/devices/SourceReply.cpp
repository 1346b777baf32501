#include "SourceReply.h"

#include <cmath>

namespace SourceReply {

namespace {

bool finiteNumber(const QString& text, double* value)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

QString stripped(QString reply)
{
    reply.remove(QLatin1Char(' '));
    reply.remove(QLatin1Char('\n'));
    reply.remove(QLatin1Char('\r'));
    return reply;
}

} // namespace

bool dryNumber(const QString& reply, double* value)
{
    return finiteNumber(stripped(reply), value);
}

bool tankNumber(const QString& reply, const QString& prefix, double* value)
{
    if (!reply.startsWith(prefix))
        return false;
    QString text = stripped(reply);
    text.remove(QLatin1Char('C'));
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return false;
    return finiteNumber(text.mid(colon + 1), value);
}

bool dryStable(const QString& reply, bool* stable)
{
    double v = 0;
    if (!dryNumber(reply, &v))
        return false;
    *stable = v != 0.0;
    return true;
}

} // namespace SourceReply

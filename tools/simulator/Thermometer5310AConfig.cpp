#include "Thermometer5310AConfig.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace sim {

namespace {

bool validName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char(',')) && name.trimmed() == name;
}

bool parseNames(const QString& text, QStringList* out)
{
    const QStringList names = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& n : names)
        if (!validName(n.trimmed()))
            return false;
    for (const QString& n : names)
        out->append(n.trimmed());
    return !names.isEmpty();
}

bool parseFlagText(const QString& text, bool* out)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty() || t == QLatin1String("1") || t == QLatin1String("yes") || t == QLatin1String("true")
        || t == QLatin1String("on"))
        *out = true;
    else if (t == QLatin1String("0") || t == QLatin1String("no") || t == QLatin1String("false")
             || t == QLatin1String("off"))
        *out = false;
    else
        return false;
    return true;
}

} // namespace

bool isModel5310A(const QString& model)
{
    return model.trimmed().compare(QLatin1String("5310A"), Qt::CaseInsensitive) == 0;
}

QString default5310AName(int index)
{
    return QStringLiteral("5310A-%1").arg(123 + index, 5, 10, QLatin1Char('0'));
}

bool parse5310AKey(const QString& key, const QString& value, Thermometer5310AConfig* config, bool* ok)
{
    if (key == QLatin1String("name")) {
        *ok = validName(value);
        config->name = value;
    } else if (key == QLatin1String("timescale")) {
        bool good = false;
        const double v = value.toDouble(&good);
        *ok = good && std::isfinite(v) && v > 0 && v <= 100;
        if (*ok)
            config->timeScale = v;
    } else if (key == QLatin1String("foreign")) {
        *ok = parseNames(value, &config->foreign);
    } else if (key == QLatin1String("nonconnectable")) {
        *ok = parseNames(value, &config->nonConnectable);
    } else if (key == QLatin1String("twice")) {
        *ok = parseFlagText(value, &config->twice);
    } else {
        return false;
    }
    return true;
}

bool parse5310AJson(const QJsonObject& o, Thermometer5310AConfig* config, QString* error)
{
    auto names = [&](const char* key, QStringList* out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        if (v.isString())
            return parseNames(v.toString(), out);
        if (!v.isArray())
            return false;
        for (const QJsonValue& n : v.toArray()) {
            if (!n.isString() || !validName(n.toString()))
                return false;
            out->append(n.toString());
        }
        return true;
    };
    if (o.contains(QLatin1String("name"))) {
        config->name = o.value(QLatin1String("name")).toString();
        if (!validName(config->name)) {
            *error = QStringLiteral("\"name\" must be a text without commas");
            return false;
        }
    }
    if (o.contains(QLatin1String("timescale"))) {
        config->timeScale = o.value(QLatin1String("timescale")).toDouble(-1);
        if (!(config->timeScale > 0 && config->timeScale <= 100)) {
            *error = QStringLiteral("\"timescale\" must be a number in (0, 100]");
            return false;
        }
    }
    if (!names("foreign", &config->foreign) || !names("nonconnectable", &config->nonConnectable)) {
        *error = QStringLiteral("\"foreign\" and \"nonconnectable\" take names (array or ';'-separated)");
        return false;
    }
    config->twice = o.value(QLatin1String("twice")).toBool(false);
    return true;
}

} // namespace sim

#include "ConfigFile.h"

#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace ConfigFile {

QString filter()
{
    return QStringLiteral("Config Files (*.ini)");
}

bool write(const QString& path, const Tool::Struct_ChannelConfig& config)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.clear();
    settings.setValue(QStringLiteral("Standardizer/A_C0"), config.A_C0);
    settings.setValue(QStringLiteral("Standardizer/B_C1"), config.B_C1);
    settings.setValue(QStringLiteral("Standardizer/C_C2"), config.C_C2);
    settings.setValue(QStringLiteral("Standardizer/D_C3"), config.D_C3);
    settings.setValue(QStringLiteral("Standardizer/R0_C4"), config.R0_C4);
    settings.setValue(QStringLiteral("Standardizer/A4_C5"), config.A4_C5);
    settings.setValue(QStringLiteral("Standardizer/B4_C6"), config.B4_C6);
    settings.setValue(QStringLiteral("Standardizer/MX_B_M"), config.MX_B_M);
    settings.setValue(QStringLiteral("Standardizer/MX_B_B"), config.MX_B_B);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool read(const QString& path, Corrections& c)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    if (settings.status() != QSettings::NoError)
        return false;
    const auto list = [&settings](const char* key) {
        return settings.value(QLatin1String(key)).toStringList();
    };
    const auto listOr = [&list](const char* key, const char* fallback) {
        const QStringList value = list(key);
        return value.isEmpty() ? list(fallback) : value;
    };
    c.A_C0 = listOr("/Standardizer/A_C0", "/Standardizer/B0");
    c.B_C1 = listOr("/Standardizer/B_C1", "/Standardizer/B1");
    c.C_C2 = listOr("/Standardizer/C_C2", "/Standardizer/B2");
    c.D_C3 = listOr("/Standardizer/D_C3", "/Standardizer/B3");
    c.R0_C4 = list("/Standardizer/R0_C4");
    c.A4_C5 = list("/Standardizer/A4_C5");
    c.B4_C6 = list("/Standardizer/B4_C6");
    c.MX_B_M = list("/Standardizer/MX_B_M");
    c.MX_B_B = list("/Standardizer/MX_B_B");
    return true;
}

bool isNumber(const QString& text)
{
    // toDouble() takes "nan" and "inf" too; either would turn every reading
    // of the channel into nonsense without a word.
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

Invalid firstInvalid(const Corrections& c, int channels)
{
    const QList<QPair<const char*, const QStringList*>> lists = {
        {"A_C0", &c.A_C0},   {"B_C1", &c.B_C1},   {"C_C2", &c.C_C2},     {"D_C3", &c.D_C3},    {"R0_C4", &c.R0_C4},
        {"A4_C5", &c.A4_C5}, {"B4_C6", &c.B4_C6}, {"MX_B_M", &c.MX_B_M}, {"MX_B_B", &c.MX_B_B}};
    for (const auto& entry : lists) {
        for (int i = 0; i < entry.second->size() && i < channels; ++i) {
            if (!isNumber(entry.second->at(i)))
                return Invalid{QLatin1String(entry.first), i, entry.second->at(i)};
        }
    }
    return Invalid{};
}

namespace {
void copyInto(const QStringList& from, QStringList& to)
{
    for (int i = 0; i < from.size() && i < to.size(); ++i)
        to[i] = from.at(i);
}
} // namespace

void apply(const Corrections& c, Tool::Struct_ChannelConfig& config)
{
    copyInto(c.A_C0, config.A_C0);
    copyInto(c.B_C1, config.B_C1);
    copyInto(c.C_C2, config.C_C2);
    copyInto(c.D_C3, config.D_C3);
    copyInto(c.R0_C4, config.R0_C4);
    copyInto(c.A4_C5, config.A4_C5);
    copyInto(c.B4_C6, config.B4_C6);
    copyInto(c.MX_B_M, config.MX_B_M);
    copyInto(c.MX_B_B, config.MX_B_B);
}

} // namespace ConfigFile

#include "CalibrationSave.h"

#include "Tool.h"

#include <QtDebug>

using CalibrationMath::Pair;
using CalibrationMath::PointSet;

CalibrationRun::CalibrationRun()
{
    for (int i = 0; i < 9; ++i)
        CalibrationData << QStringList();
    for (int i = 0; i < 3; ++i)
        Channels << QList<Device::Channel>();
}

QString CalibrationSave::message(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Saved:
        return tr("校准数据保存成功！");
    case Outcome::NoData:
        return tr("未检测到校准数据，保存失败！");
    case Outcome::BatchMismatch:
        return tr("分批数不匹配，计算失败！");
    case Outcome::ChannelMismatch:
        return tr("通道数不匹配，计算失败！");
    case Outcome::FitFailed:
        return tr("参数错误，计算失败！");
    case Outcome::UpdateFailed:
        return tr("更新通道参数失败！");
    }
    return QString();
}

CalibrationSave::Outcome CalibrationSave::pointSets(const CalibrationRun& run, QList<PointSet>& sets)
{
    sets.clear();
    for (int j = 0; j < run.CalibrationCriteria.size(); ++j) {
        const QStringList references = run.CalibrationCriteria.at(j).split(QLatin1Char(','));
        const QStringList batches = run.CalibrationData.value(j);
        if (references.size() != batches.size())
            return Outcome::BatchMismatch;
        PointSet set;
        for (int k = 0; k < batches.size(); ++k) {
            const double t = references.at(k).toDouble();
            for (const QString& reading : batches.at(k).split(QLatin1Char(',')))
                set << Pair{t, reading.toDouble()};
        }
        sets << set;
    }
    for (const PointSet& set : qAsConst(sets))
        if (set.size() != run.Labels.size())
            return Outcome::ChannelMismatch;
    return Outcome::Saved;
}

bool CalibrationSave::fit(const QString& mode, const QList<PointSet>& sets, CalibrationMath::ChannelLists& channels)
{
    if (mode == QStringLiteral("热电偶"))
        return CalibrationMath::CalculateTC(sets, channels);
    if (mode == QStringLiteral("铂电阻"))
        return CalibrationMath::CalculateRTD(sets, channels);
    if (mode == QStringLiteral("热敏电阻"))
        return CalibrationMath::CalculateNTC(sets, channels);
    return false;
}

CalibrationSave::Outcome CalibrationSave::save(const CalibrationRun& run)
{
    if (run.CalibrationCriteria.isEmpty())
        return Outcome::NoData;

    Tool::Struct_ChannelCalibrationData row;
    row.StartTime = run.StartTime;
    row.ChannelName = run.ChannelName;
    row.ChannelMode = run.ChannelMode;
    row.CollectionName = run.CollectionName.join(QLatin1Char(','));
    row.ChannelNumber = run.Labels.join(QLatin1Char(','));
    row.CalibrationCriteria = run.CalibrationCriteria;
    QStringList* data[9] = {&row.CalibrationData1, &row.CalibrationData2, &row.CalibrationData3,
                            &row.CalibrationData4, &row.CalibrationData5, &row.CalibrationData6,
                            &row.CalibrationData7, &row.CalibrationData8, &row.CalibrationData9};
    for (int i = 0; i < 9; ++i)
        *data[i] = run.CalibrationData.value(i);
    // Saving the same run again finds its row stored already; that is no failure.
    if (!Tool::addChannelCalibrationData(row))
        qDebug() << "calibration run" << run.StartTime << "not stored again";

    QList<PointSet> sets;
    const Outcome built = pointSets(run, sets);
    if (built != Outcome::Saved)
        return built;
    CalibrationMath::ChannelLists channels = run.Channels;
    if (!fit(run.ChannelMode, sets, channels))
        return Outcome::FitFailed;
    if (!UpdateChannelParameter(channels, run.Devices))
        return Outcome::UpdateFailed;
    return Outcome::Saved;
}

bool CalibrationSave::UpdateChannelParameter(const CalibrationMath::ChannelLists& channels,
                                             const QList<Tool::Struct_AcquisitionDevice>& devices)
{
    QList<Tool::Struct_ChannelConfig> configs;
    for (const Tool::Struct_AcquisitionDevice& device : devices) {
        QList<Tool::Struct_ChannelConfig> found;
        if (!Tool::getChannelConfig(found, device.ChannelConfig) || found.isEmpty())
            return false;
        configs << found.first();
    }
    if (configs.size() != channels.size())
        return false;

    QList<Tool::Struct_ChannelConfig> changed;
    for (int d = 0; d < channels.size(); ++d) {
        if (channels.at(d).isEmpty())
            continue;
        Tool::Struct_ChannelConfig config = configs.at(d);
        for (const Device::Channel& ch : channels.at(d)) {
            const int at = config.ChannelNumber.indexOf(ch.ChannelNumber);
            if (at < 0)
                return false;
            // Lists shorter than the channel count would otherwise grow out of step.
            const auto put = [at](QStringList& list, const QString& value) {
                while (list.size() <= at)
                    list << QString();
                list[at] = value;
            };
            put(config.MX_B_M, QString::number(static_cast<double>(ch.MX_B_M), 'g', 6));
            put(config.MX_B_B, QString::number(static_cast<double>(ch.MX_B_B), 'g', 6));
            put(config.A_C0, ch.A_C0);
            put(config.B_C1, ch.B_C1);
            put(config.C_C2, ch.C_C2);
            put(config.D_C3, ch.D_C3);
            put(config.R0_C4, ch.R0_C4);
            put(config.A4_C5, ch.A4_C5);
            put(config.B4_C6, ch.B4_C6);
        }
        changed << config;
    }
    for (const Tool::Struct_ChannelConfig& config : qAsConst(changed))
        if (!Tool::modifyChannelConfig(config))
            return false;
    return true;
}

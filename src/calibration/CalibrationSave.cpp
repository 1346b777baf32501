#include "CalibrationSave.h"

#include "CalibrationStore.h"
#include "UncertaintyBudget.h"
#include "Tool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <QDateTime>
#include <QtDebug>

#include <algorithm>
#include <cmath>

using CalibrationMath::FitError;
using CalibrationMath::Pair;
using CalibrationMath::PointSet;

namespace {

double nan() { return std::nan(""); }

QString mk(double v) { return std::isfinite(v) ? QString::number(v, 'f', 3) : QString(); }

} // namespace

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
    case Outcome::RunNotStored:
        return tr("校准记录保存失败，系数未写入！");
    case Outcome::ConfigChanged:
        return tr("通道配置在本次校准开始后已被修改（可能在另一台工作站），系数未写入！");
    }
    return QString();
}

QString CalibrationSave::message(const Report& report)
{
    const QString text = message(report.outcome);
    return report.detail.isEmpty() ? text : text + QLatin1Char('\n') + report.detail;
}

QString CalibrationSave::reasonText(FitError::Reason reason)
{
    switch (reason) {
    case FitError::None:
        break;
    case FitError::PointCount:
        return tr("温度点数不符合该类型的拟合要求");
    case FitError::EqualReferences:
        return tr("两个拟合点的标准温度相同（相差小于1 ℃）");
    case FitError::EqualReadings:
        return tr("两个拟合点的读数相同");
    case FitError::PlatinumPoints:
        return tr("前5个温度点须为2个负温点、1个零点（±0.015 ℃）和2个正温点");
    case FitError::ZeroPoint:
        return tr("拟合点中须有一个零点（标准温度在±0.015 ℃以内）");
    case FitError::OutOfRange:
        return tr("拟合点超出该函数的适用范围（ITS-90偏差函数：-189.3442 ℃～660.323 ℃；CVD：-200 ℃～850 ℃）");
    case FitError::FewFitPoints:
        return tr("拟合点（不同温度）少于待定系数的个数");
    case FitError::IllConditioned:
        return tr("拟合点过于集中，系数无法确定（铂电阻同一温区内各点的W-1须相差1.5倍以上）");
    case FitError::CoefficientBound:
        return tr("拟合系数超出合理范围");
    case FitError::NarrowRange:
        return tr("热敏电阻拟合点的温度范围小于10 K");
    case FitError::NotPositive:
        return tr("电阻读数不大于0");
    case FitError::NotFinite:
        return tr("拟合结果不是有限数值");
    case FitError::Implausible:
        return tr("电阻读数与标准温度不符（W偏离参考函数超过W-1的5%）");
    }
    return QString();
}

CalibrationSave::Outcome CalibrationSave::pointSets(const CalibrationRun& run, QList<PointSet>& sets, QString* detail)
{
    sets.clear();
    QStringList bad;
    for (int j = 0; j < run.CalibrationCriteria.size(); ++j) {
        const QStringList references = run.CalibrationCriteria.at(j).split(QLatin1Char(','));
        const QStringList batches = run.CalibrationData.value(j);
        if (references.size() != batches.size())
            return Outcome::BatchMismatch;
        PointSet set;
        for (int k = 0; k < batches.size(); ++k) {
            bool refOk = false;
            const double t = references.at(k).toDouble(&refOk);
            for (const QString& reading : batches.at(k).split(QLatin1Char(','))) {
                bool ok = false;
                const double x = reading.toDouble(&ok);
                // Taking a missing or broken reading as 0 would fit a wrong curve.
                if ((!ok || !refOk || !std::isfinite(x) || !std::isfinite(t)) && bad.size() < 10)
                    bad << tr("%1 温度点%2：读数“%3”或标准“%4”不是数字")
                               .arg(run.Labels.value(set.size()))
                               .arg(j + 1)
                               .arg(reading, references.at(k));
                set << Pair{t, x};
            }
        }
        sets << set;
    }
    for (const PointSet& set : qAsConst(sets))
        if (set.size() != run.Labels.size())
            return Outcome::ChannelMismatch;
    if (!bad.isEmpty()) {
        if (detail)
            *detail = bad.join(QLatin1Char('\n'));
        return Outcome::FitFailed;
    }
    return Outcome::Saved;
}

bool CalibrationSave::fit(const QString& mode, const QList<PointSet>& sets, CalibrationMath::ChannelLists& channels,
                          FitError* error, const QList<bool>& fitPoints, QList<CalibrationMath::FitStats>* stats)
{
    if (mode == QStringLiteral("热电偶"))
        return CalibrationMath::CalculateTC(sets, channels, error, fitPoints, stats);
    if (mode == QStringLiteral("铂电阻"))
        return CalibrationMath::CalculateRTD(sets, channels, error, fitPoints, stats);
    if (mode == QStringLiteral("热敏电阻"))
        return CalibrationMath::CalculateNTC(sets, channels, error, fitPoints, stats);
    return false;
}

QStringList CalibrationSave::coefficientTexts(const Device::Channel& ch)
{
    return {QString::number(static_cast<double>(ch.MX_B_M), 'g', 9),
            QString::number(static_cast<double>(ch.MX_B_B), 'g', 9),
            ch.A_C0,
            ch.B_C1,
            ch.C_C2,
            ch.D_C3,
            ch.R0_C4,
            ch.A4_C5,
            ch.B4_C6};
}

QString CalibrationSave::pointRule(const QString& mode)
{
    if (mode == QStringLiteral("热电偶"))
        return tr("热电偶校准至少需要2个不同温度的拟合点，多于2个时按最小二乘拟合；核查点不参与拟合。");
    if (mode == QStringLiteral("热敏电阻"))
        return tr("热敏电阻校准至少需要4个不同温度的拟合点，温度跨度不小于10 K；核查点不参与拟合。");
    return tr("铂电阻校准（ITS-90函数）需要一个零点（0 ℃）拟合点，零下和零上温区各至少2个拟合点（零上超过419.527 ℃时3个）；"
              "CVD函数至少需要3个不同温度的拟合点，有零下点时4个；核查点不参与拟合。");
}

QString CalibrationSave::checkPlan(const QString& mode, const QStringList& functions, const QList<double>& temperatures,
                                   const QList<bool>& fitPoints)
{
    const QStringList kinds = functions.isEmpty() ? QStringList{QString()} : functions;
    for (const QString& function : kinds) {
        CalibrationMath::ChannelLists channels{{Device::Channel()}, {}, {}};
        channels[0][0].Function = function;
        channels[0][0].Type = mode;
        QList<PointSet> sets;
        for (double t : temperatures) {
            double x = t;
            if (mode == QStringLiteral("铂电阻"))
                x = CalibrationMath::isCallendar(channels[0][0])
                        ? 100 * (1 + 3.9083e-3 * t - 5.775e-7 * t * t + (t < 0 ? -4.183e-12 * (t - 100) * t * t * t : 0))
                        : 100 * CalibrationMath::referenceFunction(t);
            else if (mode == QStringLiteral("热敏电阻"))
                x = 1e4 * std::exp(3950 * (1 / (t + 273.15) - 1 / 298.15));
            sets << PointSet{Pair{t, x}};
        }
        FitError error;
        if (!fit(mode, sets, channels, &error, fitPoints))
            return pointRule(mode) + QLatin1Char('\n') + reasonText(error.reason);
    }
    return QString();
}

QString CalibrationSave::r0Label(const Device::Channel& ch)
{
    return CalibrationMath::isCallendar(ch) ? QStringLiteral("R(0 ℃)") : QStringLiteral("R(0.01 ℃)");
}

QString CalibrationSave::fitSummary(const ChannelCheck& c, const QString& mode)
{
    QStringList parts;
    if (mode == QStringLiteral("铂电阻")) {
        const double r0 = c.After.R0_C4.toDouble();
        QString text = r0Label(c.After) + QStringLiteral(" = ") + c.After.R0_C4 + QStringLiteral(" Ω");
        // The scale's R0 is at the triple point; the ice point follows through Wr(0 ℃).
        if (!CalibrationMath::isCallendar(c.After))
            text += tr("（R(0 ℃) = %1 Ω）").arg(QString::number(r0 * CalibrationMath::referenceFunction(0), 'f', 5));
        parts << text;
    }
    const CalibrationMath::FitStats& f = c.Fit;
    parts << (std::isfinite(f.s) ? tr("标准误差 s = %1 mK（ν = %2）").arg(QString::number(f.s * 1000, 'f', 3)).arg(f.dof())
                                 : tr("拟合点数等于系数个数（ν = 0）"));
    if (std::isfinite(f.low))
        parts << tr("有效范围 %1 ～ %2 ℃").arg(QString::number(f.low, 'f', 2), QString::number(f.high, 'f', 2));
    return c.Label + QStringLiteral("：") + parts.join(tr("，"));
}

CalibrationSave::Report CalibrationSave::evaluate(const CalibrationRun& run)
{
    Report report;
    if (run.CalibrationCriteria.isEmpty())
        return report;
    QList<PointSet> sets;
    report.outcome = pointSets(run, sets, &report.detail);
    if (report.outcome != Outcome::Saved)
        return report;
    report.fitted = run.Channels;
    FitError error;
    QList<CalibrationMath::FitStats> stats;
    if (!fit(run.ChannelMode, sets, report.fitted, &error, run.FitPoints, &stats)) {
        report.outcome = Outcome::FitFailed;
        QStringList names;
        for (int i : qAsConst(error.channels))
            names << run.Labels.value(i);
        const QString reason = reasonText(error.reason);
        report.detail = names.isEmpty() ? reason : names.join(QLatin1Char(',')) + QStringLiteral("：") + reason;
        return report;
    }
    for (int p = 0; p < sets.size(); ++p)
        report.fitPoints += run.FitPoints.value(p, true) ? 1 : 0;
    report.exact = std::all_of(stats.begin(), stats.end(), [](const CalibrationMath::FitStats& s) { return s.dof() == 0; });

    // Residuals with the new coefficients, errors with the old ones.
    int i = 0;
    for (int d = 0; d < report.fitted.size(); ++d) {
        for (int k = 0; k < report.fitted.at(d).size(); ++k, ++i) {
            ChannelCheck c;
            c.Label = run.Labels.value(i);
            c.Device = d;
            c.Config = run.Devices.value(d).ChannelConfig;
            c.Before = run.Channels.at(d).at(k);
            c.After = report.fitted.at(d).at(k);
            c.Number = c.After.ChannelNumber;
            c.Fit = stats.value(i);
            const bool before = CalibrationMath::hasCoefficients(run.ChannelMode, c.Before);
            c.MaxAsFoundMk = before ? 0 : nan();
            for (int p = 0; p < sets.size(); ++p) {
                const Pair pair = sets.at(p).at(i);
                PointCheck pc;
                pc.Point = p + 1;
                pc.Reference = pair.t;
                pc.Reading = pair.x;
                pc.Fitted = CalibrationMath::temperatureOf(run.ChannelMode, c.After, pair.x, pair.t);
                pc.ResidualMk = (pc.Fitted - pair.t) * 1000;
                pc.AsFoundMk =
                    before ? (CalibrationMath::temperatureOf(run.ChannelMode, c.Before, pair.x, pair.t) - pair.t) * 1000
                           : nan();
                pc.Check = !run.FitPoints.value(p, true);
                if (run.Budget.Enabled) {
                    // The batch of this channel at this point: by its place in the point's batches.
                    const QStringList batches = run.CalibrationData.value(p);
                    int batch = 0, seen = 0;
                    for (int b = 0; b < batches.size(); ++b) {
                        seen += batches.at(b).split(QLatin1Char(',')).size();
                        if (i < seen) {
                            batch = b;
                            break;
                        }
                    }
                    budget(run, c, batch, pc);
                }
                if (std::fabs(pc.ResidualMk) > c.MaxResidualMk || !std::isfinite(pc.ResidualMk))
                    c.MaxResidualMk = std::fabs(pc.ResidualMk);
                if (before && (std::fabs(pc.AsFoundMk) > c.MaxAsFoundMk || !std::isfinite(pc.AsFoundMk)))
                    c.MaxAsFoundMk = std::fabs(pc.AsFoundMk);
                c.Points << pc;
            }
            report.channels << c;
        }
    }
    return report;
}

void CalibrationSave::budget(const CalibrationRun& run, const ChannelCheck& channel, int batch, PointCheck& point)
{
    using namespace Uncertainty;
    const BudgetInputs& in = run.Budget;
    const QString mode = run.ChannelMode;
    const double t = point.Reference;
    // dT/dx of the calibrated channel at its reading: 1/M-like for a
    // thermocouple, the sensor's slope for a resistance.
    const double step = mode == QStringLiteral("热电偶") ? 0.01 : std::max(1e-6, std::fabs(point.Reading) * 1e-5);
    const double c = slope([&](double x) { return CalibrationMath::temperatureOf(mode, channel.After, x, t); },
                           point.Reading, step);
    QList<Component> parts;
    if (in.HasReference) {
        const Tool::TemperatureTable u = Tool::parseTemperatureTable(in.Reference.Uncertainty);
        if (!u.isEmpty())
            parts << Component{tr("标准器证书"), Kind::Expanded, interpolate(u, t), in.Reference.CoverageK};
        parts << Component{tr("标准器漂移"), Kind::Rectangular,
                           driftHalfWidth(in.Reference.DriftPerYear, in.Reference.CalibrationDate, in.At)};
    }
    if (in.HasSource) {
        parts << Component{tr("温场稳定性"), Kind::Rectangular,
                           interpolate(Tool::parseTemperatureTable(in.Source.Stability), t)};
        parts << Component{tr("温场均匀性"), Kind::Rectangular,
                           interpolate(Tool::parseTemperatureTable(in.Source.Uniformity), t)};
    }
    const QString model = run.Devices.value(channel.Device).Mode;
    for (const Tool::Struct_ReadoutRecord& r : in.Readouts)
        if (r.Model == model && r.ChannelType == channel.Before.Type) {
            parts << Component{tr("读数分辨力"), Kind::Resolution, r.Resolution, 2, 1, c};
            parts << Component{tr("读数准确度"), Kind::Rectangular, r.Accuracy, 2, 1, c};
        }
    for (const Tool::Struct_CalibrationSample& s : in.Samples) {
        if (s.Point != point.Point || s.Count < 2)
            continue;
        if (s.Channel == QStringLiteral("REF") && s.Batch == batch + 1)
            parts << Component{tr("标准读数A类"), Kind::TypeA, s.StdDev, 2, s.Count};
        else if (s.Channel == channel.Label)
            parts << Component{tr("通道读数A类"), Kind::TypeA, s.StdDev, 2, s.Count, c};
    }
    // The fit's standard error with its ν = n − p, at every point alike; a
    // check point's residual is the error it reports, not also a component.
    if (channel.Fit.dof() > 0 && std::isfinite(channel.Fit.s))
        parts << Component{tr("拟合标准误差"), Kind::Standard, channel.Fit.s, 2, 1, 1,
                           static_cast<double>(channel.Fit.dof())};
    if (parts.isEmpty() || !std::isfinite(c))
        return;
    const Result r = combine(parts);
    point.Components = parts;
    point.Combined = r;
    point.U = r.expandedRounded;
    point.k = r.k;
    point.Decimals = r.decimals;
    QStringList text;
    for (const Component& part : qAsConst(parts))
        text << part.name + QLatin1Char('=') + QString::number(part.contribution(), 'g', 6);
    point.Budget = text.join(QLatin1Char(';'));
}

CalibrationSave::Outcome CalibrationSave::write(const CalibrationRun& run, const Report& report)
{
    if (report.outcome != Outcome::Saved)
        return report.outcome;
    Tool::Transaction transaction;
    if (!transaction.isOpen())
        return Outcome::RunNotStored;

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
    // The stored run is the evidence of the coefficients: without it none are written.
    if (!Tool::addChannelCalibrationData(row) || !Tool::shareRunSamples(run.StartTime))
        return Outcome::RunNotStored;
    bool changed = false;
    if (!UpdateChannelParameter(report.fitted, run.Devices, run.ConfigsAsRead, &changed))
        return changed ? Outcome::ConfigChanged : Outcome::UpdateFailed;

    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    for (const ChannelCheck& c : report.channels) {
        Tool::Struct_CalibrationHistory e;
        e.SavedAt = now;
        e.Operator = run.Operator;
        e.StartTime = run.StartTime;
        e.ChannelMode = run.ChannelMode;
        e.ConfigName = c.Config;
        e.ChannelNumber = c.Number;
        e.Label = c.Label;
        e.Reference = run.Reference;
        e.Points = c.Points.size();
        e.NewSet = coefficientTexts(c.After);
        e.OldSet = coefficientTexts(c.Before);
        e.MaxResidual = c.MaxResidualMk;
        e.MaxAsFound = c.MaxAsFoundMk;
        QStringList points;
        for (const PointCheck& p : c.Points)
            points << QStringLiteral("%1:%2:%3:%4:%5:%6:%7")
                          .arg(QString::number(p.Reference, 'f', 4), QString::number(p.Reading, 'g', 10),
                               mk(p.ResidualMk), mk(p.AsFoundMk),
                               p.Check ? QStringLiteral("check") : QStringLiteral("fit"),
                               std::isfinite(p.U) ? QString::number(p.U, 'f', std::max(0, p.Decimals)) : QString(),
                               std::isfinite(p.k) ? QString::number(p.k, 'f', 2) : QString());
        e.Residuals = points.join(QLatin1Char(';'));
        // The channel's label as its configuration gives it, for the certificate's item.
        ChannelCheck labelled = c;
        QList<Tool::Struct_ChannelConfig> config;
        if (Tool::getChannelConfig(config, c.Config) && !config.isEmpty())
            labelled.Tag = config.first().Tag.value(config.first().ChannelNumber.indexOf(c.Number));
        e.Evidence = evidence(run, labelled);
        if (!Tool::addCalibrationHistory(e))
            return Outcome::UpdateFailed;
    }
    if (!transaction.commit())
        return Outcome::UpdateFailed;
    return Outcome::Saved;
}

QString CalibrationSave::evidence(const CalibrationRun& run, const ChannelCheck& c)
{
    const auto finite = [](double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(); };
    const auto date = [](const QDate& d) { return d.isValid() ? d.toString(Qt::ISODate) : QString(); };
    QJsonObject root;
    const Tool::Struct_AcquisitionDevice device = run.Devices.value(c.Device);
    root.insert(QStringLiteral("device"), QJsonObject{{QStringLiteral("position"), c.Device + 1},
                                                      {QStringLiteral("selector"), run.CollectionName.value(c.Device)},
                                                      {QStringLiteral("model"), device.Mode},
                                                      {QStringLiteral("serial"), device.SerialNumber},
                                                      {QStringLiteral("config"), c.Config}});
    root.insert(QStringLiteral("channel"), QJsonObject{{QStringLiteral("number"), c.Number},
                                                       {QStringLiteral("label"), c.Label},
                                                       {QStringLiteral("tag"), c.Tag},
                                                       {QStringLiteral("type"), c.Before.Type},
                                                       {QStringLiteral("function"), c.Before.Function}});
    root.insert(QStringLiteral("reference"), run.Reference);
    const BudgetInputs& in = run.Budget;
    if (in.HasReference) {
        const Tool::Struct_ReferenceStandard& r = in.Reference;
        root.insert(QStringLiteral("standard"),
                    QJsonObject{{QStringLiteral("serial"), r.Serial},
                                {QStringLiteral("kind"), r.Kind},
                                {QStringLiteral("certificate"), r.Certificate},
                                {QStringLiteral("laboratory"), r.Laboratory},
                                {QStringLiteral("calibrationDate"), date(r.CalibrationDate)},
                                {QStringLiteral("dueDate"), date(r.DueDate)},
                                {QStringLiteral("uncertainty"), r.Uncertainty},
                                {QStringLiteral("k"), r.CoverageK},
                                {QStringLiteral("driftPerYear"), r.DriftPerYear}});
    }
    if (in.HasSource)
        root.insert(QStringLiteral("source"), QJsonObject{{QStringLiteral("serial"), in.Source.Serial},
                                                          {QStringLiteral("model"), in.Source.Model},
                                                          {QStringLiteral("stability"), in.Source.Stability},
                                                          {QStringLiteral("uniformity"), in.Source.Uniformity}});
    {
        const CalibrationMath::FitStats& f = c.Fit;
        QJsonArray covariance;
        for (double v : f.covariance)
            covariance.append(v);
        root.insert(QStringLiteral("fit"), QJsonObject{{QStringLiteral("points"), f.n},
                                                       {QStringLiteral("coefficients"), f.p},
                                                       {QStringLiteral("dof"), f.dof()},
                                                       {QStringLiteral("standardError"), finite(f.s)},
                                                       {QStringLiteral("names"), QJsonArray::fromStringList(f.names)},
                                                       {QStringLiteral("covariance"), covariance},
                                                       {QStringLiteral("validFrom"), finite(f.low)},
                                                       {QStringLiteral("validTo"), finite(f.high)}});
    }
    root.insert(QStringLiteral("before"), QJsonArray::fromStringList(coefficientTexts(c.Before)));
    root.insert(QStringLiteral("after"), QJsonArray::fromStringList(coefficientTexts(c.After)));
    QJsonArray points;
    for (const PointCheck& p : c.Points) {
        QJsonObject point{{QStringLiteral("point"), p.Point},
                          {QStringLiteral("reference"), p.Reference},
                          {QStringLiteral("reading"), p.Reading},
                          {QStringLiteral("fitted"), p.Fitted},
                          {QStringLiteral("errorAsLeft"), finite(p.ResidualMk / 1000)},
                          {QStringLiteral("errorAsFound"), finite(p.AsFoundMk / 1000)},
                          {QStringLiteral("role"), p.Check ? QStringLiteral("check") : QStringLiteral("fit")}};
        if (run.Notes.contains(p.Point - 1))
            point.insert(QStringLiteral("note"), run.Notes.value(p.Point - 1));
        if (run.Brackets.contains(p.Point - 1))
            point.insert(QStringLiteral("bracketSeconds"), run.Brackets.value(p.Point - 1));
        if (!p.Components.isEmpty()) {
            QJsonArray components;
            for (const Uncertainty::Component& part : p.Components) {
                static const char* const kinds[] = {"expanded", "rectangular", "resolution", "typeA", "standard"};
                // The untranslated name too, so a certificate names the
                // component in its own language whatever the saving one was.
                static const char* const names[] = {
                    QT_TR_NOOP("标准器证书"), QT_TR_NOOP("标准器漂移"), QT_TR_NOOP("温场稳定性"),
                    QT_TR_NOOP("温场均匀性"), QT_TR_NOOP("读数分辨力"), QT_TR_NOOP("读数准确度"),
                    QT_TR_NOOP("标准读数A类"), QT_TR_NOOP("通道读数A类"), QT_TR_NOOP("拟合残差"),
                    QT_TR_NOOP("拟合标准误差")};
                QString key;
                for (const char* n : names)
                    if (tr(n) == part.name)
                        key = QString::fromUtf8(n);
                components.append(QJsonObject{{QStringLiteral("name"), part.name},
                                              {QStringLiteral("key"), key},
                                              {QStringLiteral("kind"), QString::fromLatin1(kinds[int(part.kind)])},
                                              {QStringLiteral("value"), part.value},
                                              {QStringLiteral("k"), part.k},
                                              {QStringLiteral("count"), part.count},
                                              {QStringLiteral("sensitivity"), part.sensitivity},
                                              {QStringLiteral("standard"), part.standard()},
                                              {QStringLiteral("contribution"), part.contribution()},
                                              {QStringLiteral("dof"), finite(part.degrees())}});
            }
            const Uncertainty::Result& r = p.Combined;
            point.insert(QStringLiteral("budget"),
                         QJsonObject{{QStringLiteral("components"), components},
                                     {QStringLiteral("combined"), r.combined},
                                     {QStringLiteral("dof"), finite(r.dof)},
                                     {QStringLiteral("k"), r.k},
                                     {QStringLiteral("expanded"), r.expanded},
                                     {QStringLiteral("U"), r.expandedRounded},
                                     {QStringLiteral("decimals"), r.decimals}});
        }
        points.append(point);
    }
    root.insert(QStringLiteral("points"), points);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

CalibrationSave::Outcome CalibrationSave::save(const CalibrationRun& run)
{
    return write(run, evaluate(run));
}

bool CalibrationSave::UpdateChannelParameter(const CalibrationMath::ChannelLists& channels,
                                             const QList<Tool::Struct_AcquisitionDevice>& devices,
                                             const QList<Tool::Struct_ChannelConfig>& asRead, bool* changed)
{
    if (changed)
        *changed = false;
    if (devices.size() != channels.size())
        return false;
    // One copy per configuration: two devices on one configuration add
    // their channels to the same copy, so neither overwrites the other.
    QStringList names;
    QList<Tool::Struct_ChannelConfig> configs, expected;
    QList<QStringList> written;
    for (int d = 0; d < channels.size(); ++d) {
        if (channels.at(d).isEmpty())
            continue;
        const QString name = devices.at(d).ChannelConfig;
        int slot = names.indexOf(name);
        if (slot < 0) {
            QList<Tool::Struct_ChannelConfig> found;
            if (!Tool::getChannelConfig(found, name) || found.isEmpty())
                return false;
            names << name;
            configs << found.first();
            expected << found.first();
            for (const Tool::Struct_ChannelConfig& c : asRead)
                if (c.Name == name)
                    expected.last() = c;
            written << QStringList();
            slot = names.size() - 1;
        }
        Tool::Struct_ChannelConfig& config = configs[slot];
        for (const Device::Channel& ch : channels.at(d)) {
            const int at = config.ChannelNumber.indexOf(ch.ChannelNumber);
            // The same channel of one configuration twice would keep only the last fit.
            if (at < 0 || written.at(slot).contains(ch.ChannelNumber))
                return false;
            written[slot] << ch.ChannelNumber;
            // Lists shorter than the channel count would otherwise grow out of step.
            const auto put = [at](QStringList& list, const QString& value) {
                while (list.size() <= at)
                    list << QString();
                list[at] = value;
            };
            const QStringList texts = coefficientTexts(ch);
            QStringList* lists[9] = {&config.MX_B_M, &config.MX_B_B, &config.A_C0,  &config.B_C1, &config.C_C2,
                                     &config.D_C3,   &config.R0_C4,  &config.A4_C5, &config.B4_C6};
            for (int i = 0; i < 9; ++i)
                put(*lists[i], texts.at(i));
        }
    }
    for (int i = 0; i < configs.size(); ++i) {
        const Tool::CoefficientWrite w = Tool::modifyChannelConfigIf(expected.at(i), configs.at(i));
        if (w == Tool::CoefficientWrite::Changed && changed)
            *changed = true;
        if (w != Tool::CoefficientWrite::Written)
            return false;
    }
    return true;
}

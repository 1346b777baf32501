#include "CalibrationMath.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace CalibrationMath {

namespace {

constexpr double kKelvin = 273.15;
constexpr double kTriplePoint = 273.16;
constexpr double kHighScale = 481;
constexpr double kTripleCelsius = 0.01;
// A pivot of the scaled QR below this means nearly dependent columns.
constexpr double kPivotFloor = 1e-8;

// ITS-90, reference function from 13.8033 K to 273.16 K.
constexpr double kA[13] = {-2.13534729, 3.18324720,  -1.80143597, 0.71727204, 0.50344027,
                           -0.61899395, -0.05332322, 0.28021362,  0.10715224, -0.29302865,
                           0.04459872,  0.11868632,  -0.05248134};
// ITS-90, reference function from 0 ℃ to 961.78 ℃.
constexpr double kC[10] = {2.78157254,  1.64650916, -0.13714390, -0.00649767, -0.00234444,
                           0.00511868, 0.00187982, -0.00204472, -0.00046122, 0.00045724};

const QString kThermocouple = QStringLiteral("热电偶");
const QString kPlatinum = QStringLiteral("铂电阻");
const QString kThermistor = QStringLiteral("热敏电阻");

// (device position, index within that device) of every calibrated channel.
QList<QPair<int, int>> flattened(const ChannelLists& channels)
{
    QList<QPair<int, int>> index;
    for (int d = 0; d < channels.size(); ++d)
        for (int i = 0; i < channels.at(d).size(); ++i)
            index << qMakePair(d, i);
    return index;
}

bool finite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

QString fixed8(double v)
{
    return QString::number(v, 'f', 8);
}

// Coefficients far below one (Callendar–Van Dusen B and C) need significant digits.
QString significant(double v)
{
    return QString::number(v, 'g', 10);
}

bool fail(FitError* error, FitError::Reason reason, int channel = -1)
{
    if (error) {
        error->reason = reason;
        error->channels.clear();
        if (channel >= 0)
            error->channels << channel;
    }
    return false;
}

bool isFitPoint(const QList<bool>& fit, int point)
{
    return fit.value(point, true);
}

// A channel's pairs over the run's points, with the fit mark of each.
struct Sample
{
    double t, x;
    bool fit;
};

QList<Sample> samplesOf(const QList<PointSet>& points, int channel, const QList<bool>& fit)
{
    QList<Sample> out;
    for (int p = 0; p < points.size(); ++p)
        out << Sample{points.at(p).at(channel).t, points.at(p).at(channel).x, isFitPoint(fit, p)};
    return out;
}

QList<Sample> fitOnly(const QList<Sample>& all)
{
    QList<Sample> out;
    for (const Sample& s : all)
        if (s.fit)
            out << s;
    return out;
}

// Every point set holds one pair per calibrated channel.
bool consistent(const QList<PointSet>& points, int channels)
{
    return std::all_of(points.begin(), points.end(), [channels](const PointSet& set) { return set.size() == channels; });
}

// Σ over the fit points of the squared residual (℃) of the stored
// coefficients, the range they span, and the standard error.
void finishStats(FitStats& st, const QString& mode, const Device::Channel& ch, const QList<Sample>& fit)
{
    double ss = 0;
    st.n = fit.size();
    st.low = st.high = fit.isEmpty() ? std::nan("") : fit.first().t;
    for (const Sample& s : fit) {
        const double r = temperatureOf(mode, ch, s.x, s.t) - s.t;
        ss += r * r;
        st.low = std::min(st.low, s.t);
        st.high = std::max(st.high, s.t);
    }
    st.s = st.n > st.p ? std::sqrt(ss / (st.n - st.p)) : std::nan("");
}

// cov = J·(σ²·inverse)·Jᵀ; J is m × p row by row, inverse p × p.
QVector<double> propagate(const std::vector<double>& jacobian, int m, const std::vector<double>& inverse, int p,
                          double variance)
{
    QVector<double> cov(m * m, 0.0);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            double sum = 0;
            for (int k = 0; k < p; ++k)
                for (int l = 0; l < p; ++l)
                    sum += jacobian[i * p + k] * inverse[k * p + l] * jacobian[j * p + l];
            cov[i * m + j] = variance * sum;
        }
    return cov;
}

double callendarResistance(double t, double r0, double a, double b, double c)
{
    return r0 * (1 + a * t + b * t * t + (t < 0 ? c * (t - 100) * t * t * t : 0));
}

} // namespace

double referenceFunction(double t)
{
    return t < kTripleCelsius ? referenceBelowZero(t) : referenceAboveZero(t);
}

double referenceTemperature(double wr)
{
    if (!(wr > 0) || !std::isfinite(wr))
        return std::nan("");
    // dWr/dt is close to 0.004 per kelvin over the whole range; Newton with a
    // numerical slope converges in a handful of steps.
    double t = (wr - 1) / 0.0039 + kTripleCelsius;
    for (int i = 0; i < 40; ++i) {
        const double f = referenceFunction(t) - wr;
        const double h = 1e-4;
        const double slope = (referenceFunction(t + h) - referenceFunction(t - h)) / (2 * h);
        if (!(slope > 0))
            return std::nan("");
        const double step = f / slope;
        t -= step;
        if (std::fabs(step) < 1e-10)
            break;
    }
    return t;
}

double referenceBelowZero(double t)
{
    const double u = (std::log((t + kKelvin) / kTriplePoint) + 1.5) / 1.5;
    double lnWr = kA[0];
    for (int i = 1; i <= 12; ++i)
        lnWr += kA[i] * std::pow(u, static_cast<double>(i));
    return std::exp(lnWr);
}

double referenceAboveZero(double t)
{
    const double v = (t - kHighScale) / kHighScale;
    double wr = 0;
    for (int i = 1; i <= 9; ++i)
        wr += kC[i] * std::pow(v, static_cast<double>(i));
    return wr + kC[0];
}

bool leastSquares(const std::vector<std::vector<double>>& columns, const std::vector<double>& y,
                  std::vector<double>& beta, std::vector<double>* inverse, double* rss)
{
    const int p = static_cast<int>(columns.size());
    const int n = static_cast<int>(y.size());
    if (p < 1 || n < p)
        return false;
    std::vector<std::vector<double>> a = columns;
    std::vector<double> scale(p);
    for (int j = 0; j < p; ++j) {
        if (static_cast<int>(a[j].size()) != n)
            return false;
        double norm = 0;
        for (double v : a[j])
            norm += v * v;
        norm = std::sqrt(norm);
        if (!(norm > 0) || !std::isfinite(norm))
            return false;
        scale[j] = norm;
        for (double& v : a[j])
            v /= norm;
    }
    std::vector<double> b = y;
    // Householder reflections: a[j][i] for i ≥ j becomes R's column j.
    for (int k = 0; k < p; ++k) {
        double s = 0;
        for (int i = k; i < n; ++i)
            s += a[k][i] * a[k][i];
        s = std::sqrt(s);
        const double alpha = a[k][k] > 0 ? -s : s;
        std::vector<double> v(n - k);
        v[0] = a[k][k] - alpha;
        for (int i = k + 1; i < n; ++i)
            v[i - k] = a[k][i];
        double vv = 0;
        for (double e : v)
            vv += e * e;
        if (vv > 0) {
            const auto reflect = [&](std::vector<double>& col) {
                double dot = 0;
                for (int i = k; i < n; ++i)
                    dot += v[i - k] * col[i];
                const double f = 2 * dot / vv;
                for (int i = k; i < n; ++i)
                    col[i] -= f * v[i - k];
            };
            for (int j = k; j < p; ++j)
                reflect(a[j]);
            reflect(b);
        }
        // Unit columns: |R_kk| is how far column k stands from the ones before it.
        if (!(std::fabs(a[k][k]) > kPivotFloor))
            return false;
    }
    std::vector<double> z(p);
    for (int k = p - 1; k >= 0; --k) {
        double rest = b[k];
        for (int j = k + 1; j < p; ++j)
            rest -= a[j][k] * z[j];
        z[k] = rest / a[k][k];
    }
    beta.assign(p, 0);
    for (int k = 0; k < p; ++k) {
        beta[k] = z[k] / scale[k];
        if (!std::isfinite(beta[k]))
            return false;
    }
    if (rss) {
        double sum = 0;
        for (int i = p; i < n; ++i)
            sum += b[i] * b[i];
        *rss = sum;
    }
    if (inverse) {
        // R⁻¹ column by column, then (AᵀA)⁻¹ = D⁻¹R⁻¹R⁻ᵀD⁻¹.
        std::vector<double> rinv(p * p, 0.0);
        for (int c = 0; c < p; ++c) {
            for (int r = c; r >= 0; --r) {
                double rest = r == c ? 1.0 : 0.0;
                for (int j = r + 1; j <= c; ++j)
                    rest -= a[j][r] * rinv[j * p + c];
                rinv[r * p + c] = rest / a[r][r];
            }
        }
        inverse->assign(p * p, 0.0);
        for (int i = 0; i < p; ++i)
            for (int j = 0; j < p; ++j) {
                double sum = 0;
                for (int k = std::max(i, j); k < p; ++k)
                    sum += rinv[i * p + k] * rinv[j * p + k];
                (*inverse)[i * p + j] = sum / (scale[i] * scale[j]);
            }
    }
    return true;
}

int distinctValues(QList<double> values, double gap, double ratio)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    int count = 1;
    double start = values.first();
    for (double v : qAsConst(values)) {
        const bool apart = ratio > 0 ? v >= start * ratio : v - start >= gap;
        if (apart) {
            ++count;
            start = v;
        }
    }
    return count;
}

bool isCallendar(const Device::Channel& ch)
{
    return ch.Function == QLatin1String("CVD");
}

bool hasCoefficients(const QString& mode, const Device::Channel& ch)
{
    if (mode == kThermocouple)
        return ch.MX_B_M != 0;
    if (mode == kPlatinum)
        return ch.R0_C4.toDouble() > 0;
    if (mode == kThermistor)
        return ch.A_C0.toDouble() != 0 || ch.B_C1.toDouble() != 0 || ch.C_C2.toDouble() != 0
               || ch.D_C3.toDouble() != 0;
    return false;
}

double temperatureOf(const QString& mode, const Device::Channel& ch, double x, double guess)
{
    const double m = static_cast<double>(ch.MX_B_M);
    const double b = static_cast<double>(ch.MX_B_B);
    if (mode == kThermocouple)
        return m * x + b;
    double t = std::nan("");
    if (mode == kPlatinum && isCallendar(ch)) {
        const double r0 = ch.R0_C4.toDouble(), a = ch.A_C0.toDouble(), bb = ch.B_C1.toDouble(), c = ch.C_C2.toDouble();
        if (!(r0 > 0) || !(x > 0))
            return std::nan("");
        t = guess;
        for (int i = 0; i < 60; ++i) {
            const double f = callendarResistance(t, r0, a, bb, c) - x;
            const double h = 1e-3;
            const double slope = (callendarResistance(t + h, r0, a, bb, c) - callendarResistance(t - h, r0, a, bb, c)) / (2 * h);
            if (!(slope > 0))
                return std::nan("");
            const double step = f / slope;
            t -= step;
            if (std::fabs(step) < 1e-10)
                break;
        }
    } else if (mode == kPlatinum) {
        const double r0 = ch.R0_C4.toDouble();
        if (!(r0 > 0) || !(x > 0))
            return std::nan("");
        const double w = x / r0;
        const double d = w - 1;
        const double wr = w < 1 ? w - ch.A4_C5.toDouble() * d - ch.B4_C6.toDouble() * d * std::log(w)
                                : w - ch.A_C0.toDouble() * d - ch.B_C1.toDouble() * d * d - ch.C_C2.toDouble() * d * d * d;
        t = referenceTemperature(wr);
    } else if (mode == kThermistor) {
        if (!(x > 0))
            return std::nan("");
        const double c[4] = {ch.A_C0.toDouble(), ch.B_C1.toDouble(), ch.C_C2.toDouble(), ch.D_C3.toDouble()};
        const double y = std::log(x);
        // ln R is a cubic in 1/T: Newton from the temperature expected.
        double u = 1 / (guess + kKelvin);
        for (int i = 0; i < 60; ++i) {
            const double f = c[0] + c[1] * u + c[2] * u * u + c[3] * u * u * u - y;
            const double df = c[1] + 2 * c[2] * u + 3 * c[3] * u * u;
            if (df == 0 || !std::isfinite(df))
                return std::nan("");
            const double step = f / df;
            u -= step;
            if (std::fabs(step) < 1e-16)
                break;
        }
        t = u > 0 ? 1 / u - kKelvin : std::nan("");
    }
    // The loggers apply M and B to the temperature of every channel type.
    return m * t + b;
}

bool CalculateTC(const QList<PointSet>& points, ChannelLists& channels, FitError* error, const QList<bool>& fit,
                 QList<FitStats>* stats)
{
    if (points.size() < 2)
        return fail(error, FitError::PointCount);
    const QList<QPair<int, int>> index = flattened(channels);
    if (!consistent(points, index.size()))
        return fail(error, FitError::PointCount);
    // Results go into a copy first: a refused channel leaves every channel as it was.
    ChannelLists result = channels;
    QList<FitStats> out;
    for (int i = 0; i < index.size(); ++i) {
        const QList<Sample> used = fitOnly(samplesOf(points, i, fit));
        if (used.size() < 2)
            return fail(error, FitError::FewFitPoints, i);
        double tLow = used.first().t, tHigh = tLow, xLow = used.first().x, xHigh = xLow, xMean = 0;
        for (const Sample& s : used) {
            tLow = std::min(tLow, s.t);
            tHigh = std::max(tHigh, s.t);
            xLow = std::min(xLow, s.x);
            xHigh = std::max(xHigh, s.x);
            xMean += s.x / used.size();
        }
        // Readings at (nearly) one temperature fix no slope.
        if (tHigh - tLow < 1.0)
            return fail(error, FitError::EqualReferences, i);
        if (xHigh == xLow)
            return fail(error, FitError::EqualReadings, i);
        std::vector<std::vector<double>> cols(2);
        std::vector<double> y, beta, inverse;
        for (const Sample& s : used) {
            cols[0].push_back(s.x - xMean);
            cols[1].push_back(1);
            y.push_back(s.t);
        }
        double rss = 0;
        if (!leastSquares(cols, y, beta, &inverse, &rss))
            return fail(error, FitError::IllConditioned, i);
        const double m = beta[0];
        double b = beta[1] - m * xMean;
        // Rounding leaves offsets like −1.4e-14 ℃ where the line meets 0.
        if (std::fabs(b) < 1e-9)
            b = 0;
        // The loggers take M and B as 32-bit floats: the set is what they get.
        const float mf = static_cast<float>(m);
        const float bf = static_cast<float>(b);
        if (!finite({m, b, mf, bf}))
            return fail(error, FitError::NotFinite, i);
        Device::Channel& ch = result[index.at(i).first][index.at(i).second];
        ch.MX_B_M = mf;
        ch.MX_B_B = bf;
        FitStats st;
        st.p = 2;
        st.names = QStringList{QStringLiteral("M"), QStringLiteral("B")};
        st.values = {static_cast<double>(mf), static_cast<double>(bf)};
        const int n = used.size();
        if (n > 2)
            st.covariance = propagate({1, 0, -xMean, 1}, 2, inverse, 2, rss / (n - 2));
        finishStats(st, kThermocouple, ch, used);
        out << st;
    }
    channels = result;
    if (stats)
        *stats = out;
    return true;
}

namespace {

// A platinum sensor's W departs from Wr by a few per cent of W − 1 at most
// (an IEC 60751 sensor by 2 %); more is a wrong probe or reading.
bool plausible(const QList<Sample>& all, double r0)
{
    for (const Sample& s : all) {
        if (std::fabs(s.t) <= kZeroTolerance)
            continue;
        const double wr = referenceFunction(s.t);
        if (std::fabs(s.x / r0 - wr) > kPlausibleShare * std::fabs(wr - 1))
            return false;
    }
    return true;
}

// One ITS-90 platinum channel: R(0.01 ℃) from the zero point, the deviation
// coefficients of each subrange that has fit points.
bool fitIts90(const QList<Sample>& all, Device::Channel& ch, FitStats& st, FitError::Reason& reason)
{
    const QList<Sample> used = fitOnly(all);
    QList<Sample> zero, below, above;
    for (const Sample& s : used) {
        if (s.t < kArgonPoint || s.t > kAluminiumPoint) {
            reason = FitError::OutOfRange;
            return false;
        }
        if (std::fabs(s.t) <= kZeroTolerance)
            zero << s;
        else if (s.t < 0)
            below << s;
        else
            above << s;
    }
    if (zero.isEmpty()) {
        reason = FitError::ZeroPoint;
        return false;
    }
    const bool cubic = std::any_of(above.begin(), above.end(), [](const Sample& s) { return s.t > kZincPoint; });
    const int pBelow = below.isEmpty() ? 0 : 2;
    const int pAbove = above.isEmpty() ? 0 : (cubic ? 3 : 2);
    if ((pBelow == 0 && pAbove == 0) || below.size() < pBelow || above.size() < pAbove) {
        reason = FitError::FewFitPoints;
        return false;
    }
    // R(g) of the zero point relates to R(0.01 ℃) through W(g), which holds
    // the sensor's own deviation at g: a few rounds with the fit.
    double r0 = 0;
    for (const Sample& s : zero)
        r0 += s.x / referenceFunction(s.t) / zero.size();
    double a = 0, b = 0, c = 0, a4 = 0, b4 = 0;
    std::vector<double> invBelow, invAbove;
    double rssBelow = 0, rssAbove = 0;
    for (int round = 0; round < 6; ++round) {
        if (pBelow) {
            std::vector<std::vector<double>> cols(2);
            std::vector<double> y, beta;
            QList<double> spread;
            for (const Sample& s : below) {
                const double w = s.x / r0;
                cols[0].push_back(w - 1);
                cols[1].push_back((w - 1) * std::log(w));
                y.push_back(w - referenceFunction(s.t));
                spread << std::fabs(w - 1);
            }
            if (distinctValues(spread, 0, kSpreadFactor) < 2 || !leastSquares(cols, y, beta, &invBelow, &rssBelow)) {
                reason = FitError::IllConditioned;
                return false;
            }
            a4 = beta[0];
            b4 = beta[1];
        }
        if (pAbove) {
            std::vector<std::vector<double>> cols(pAbove);
            std::vector<double> y, beta;
            QList<double> spread;
            for (const Sample& s : above) {
                const double d = s.x / r0 - 1;
                cols[0].push_back(d);
                cols[1].push_back(d * d);
                if (cubic)
                    cols[2].push_back(d * d * d);
                y.push_back(s.x / r0 - referenceFunction(s.t));
                spread << std::fabs(d);
            }
            if (distinctValues(spread, 0, kSpreadFactor) < pAbove
                || !leastSquares(cols, y, beta, &invAbove, &rssAbove)) {
                reason = FitError::IllConditioned;
                return false;
            }
            a = beta[0];
            b = beta[1];
            c = cubic ? beta[2] : 0;
        }
        double next = 0;
        for (const Sample& s : zero) {
            const double wr = referenceFunction(s.t);
            const double d = wr - 1;
            const bool low = s.t < kTripleCelsius && pBelow;
            const double w = low ? wr + a4 * d + b4 * d * std::log(wr) : wr + a * d + b * d * d + c * d * d * d;
            if (!(w > 0) || !std::isfinite(w)) {
                reason = FitError::NotFinite;
                return false;
            }
            next += s.x / w / zero.size();
        }
        r0 = next;
    }
    if (!finite({a, b, c, a4, b4, r0})) {
        reason = FitError::NotFinite;
        return false;
    }
    if (!plausible(all, r0)) {
        reason = FitError::Implausible;
        return false;
    }
    for (double v : {a, b, c, a4, b4})
        if (std::fabs(v) > kDeviationBound) {
            reason = FitError::CoefficientBound;
            return false;
        }
    ch.A_C0 = fixed8(a);
    ch.B_C1 = fixed8(b);
    ch.C_C2 = cubic ? fixed8(c) : QStringLiteral("0");
    ch.D_C3 = QStringLiteral("0");
    ch.R0_C4 = fixed8(r0);
    ch.A4_C5 = fixed8(a4);
    ch.B4_C6 = fixed8(b4);
    // The new coefficients stand alone: an old trim would sit on top of them.
    ch.MX_B_M = 1;
    ch.MX_B_B = 0;

    st.p = 1 + pBelow + pAbove;
    st.names << QStringLiteral("R0");
    st.values << ch.R0_C4.toDouble();
    if (pAbove) {
        st.names << QStringLiteral("a") << QStringLiteral("b");
        st.values << ch.A_C0.toDouble() << ch.B_C1.toDouble();
        if (cubic) {
            st.names << QStringLiteral("c");
            st.values << ch.C_C2.toDouble();
        }
    }
    if (pBelow) {
        st.names << QStringLiteral("a4") << QStringLiteral("b4");
        st.values << ch.A4_C5.toDouble() << ch.B4_C6.toDouble();
    }
    const int n = used.size();
    if (n > st.p) {
        // One variance of W over both subranges; R0 from the zero points alone.
        const double variance = (rssBelow + rssAbove) / (n - st.p);
        const int m = st.p;
        QVector<double> cov(m * m, 0.0);
        cov[0] = variance * r0 * r0 / zero.size();
        int at = 1;
        const auto block = [&](const std::vector<double>& inv, int size) {
            for (int i = 0; i < size; ++i)
                for (int j = 0; j < size; ++j)
                    cov[(at + i) * m + at + j] = variance * inv[i * size + j];
            at += size;
        };
        if (pAbove)
            block(invAbove, pAbove);
        if (pBelow)
            block(invBelow, pBelow);
        st.covariance = cov;
    }
    finishStats(st, kPlatinum, ch, used);
    return true;
}

// One Callendar–Van Dusen channel: R(0 ℃), A, B and, with fit points below
// 0 ℃, C, linear in R0, R0·A, R0·B, R0·C; t scaled by 100 ℃ for the solver.
bool fitCallendar(const QList<Sample>& all, Device::Channel& ch, FitStats& st, FitError::Reason& reason)
{
    const QList<Sample> used = fitOnly(all);
    QList<double> temps;
    bool low = false;
    for (const Sample& s : used) {
        if (s.t < kCvdLowest || s.t > kCvdHighest) {
            reason = FitError::OutOfRange;
            return false;
        }
        low = low || s.t < -kZeroTolerance;
        temps << s.t;
    }
    const int p = low ? 4 : 3;
    if (distinctValues(temps, kDistinctKelvin) < p) {
        reason = FitError::FewFitPoints;
        return false;
    }
    std::vector<std::vector<double>> cols(p);
    std::vector<double> y, beta, inverse;
    for (const Sample& s : used) {
        const double u = s.t / 100;
        cols[0].push_back(1);
        cols[1].push_back(u);
        cols[2].push_back(u * u);
        if (low)
            cols[3].push_back(s.t < 0 ? (u - 1) * u * u * u : 0);
        y.push_back(s.x);
    }
    double rss = 0;
    if (!leastSquares(cols, y, beta, &inverse, &rss)) {
        reason = FitError::IllConditioned;
        return false;
    }
    const double r0 = beta[0];
    if (!(r0 > 0)) {
        reason = FitError::NotPositive;
        return false;
    }
    const double a = beta[1] / (100 * r0);
    const double b = beta[2] / (1e4 * r0);
    const double c = low ? beta[3] / (1e8 * r0) : 0;
    if (!finite({a, b, c})) {
        reason = FitError::NotFinite;
        return false;
    }
    // IEC 60751 has A = 3.9083e-3, B = −5.775e-7, C = −4.183e-12; sensors of
    // other alphas stay well within these bounds.
    if (a < 3.5e-3 || a > 4.5e-3 || std::fabs(b) > 5e-6 || std::fabs(c) > 1e-10) {
        reason = FitError::CoefficientBound;
        return false;
    }
    if (!plausible(all, r0)) {
        reason = FitError::Implausible;
        return false;
    }
    ch.A_C0 = significant(a);
    ch.B_C1 = significant(b);
    ch.C_C2 = low ? significant(c) : QStringLiteral("0");
    ch.D_C3 = QStringLiteral("0");
    ch.R0_C4 = fixed8(r0);
    ch.A4_C5 = QStringLiteral("0");
    ch.B4_C6 = QStringLiteral("0");
    ch.MX_B_M = 1;
    ch.MX_B_B = 0;
    st.p = p;
    st.names = QStringList{QStringLiteral("R0"), QStringLiteral("A"), QStringLiteral("B")};
    st.values = {ch.R0_C4.toDouble(), ch.A_C0.toDouble(), ch.B_C1.toDouble()};
    if (low) {
        st.names << QStringLiteral("C");
        st.values << ch.C_C2.toDouble();
    }
    const int n = used.size();
    if (n > p) {
        // Delta method from (R0, R0·A/100…) to (R0, A, B, C).
        const double scale[4] = {1, 100, 1e4, 1e8};
        std::vector<double> jac(p * p, 0.0);
        jac[0] = 1;
        for (int k = 1; k < p; ++k) {
            jac[k * p + 0] = -beta[k] / (scale[k] * r0 * r0);
            jac[k * p + k] = 1 / (scale[k] * r0);
        }
        st.covariance = propagate(jac, p, inverse, p, rss / (n - p));
    }
    finishStats(st, kPlatinum, ch, used);
    return true;
}

} // namespace

bool CalculateRTD(const QList<PointSet>& points, ChannelLists& channels, FitError* error, const QList<bool>& fit,
                  QList<FitStats>* stats)
{
    if (points.size() < 3)
        return fail(error, FitError::PointCount);
    const QList<QPair<int, int>> index = flattened(channels);
    if (!consistent(points, index.size()) || index.isEmpty())
        return fail(error, FitError::PointCount);

    ChannelLists result = channels;
    QList<FitStats> out;
    for (int i = 0; i < index.size(); ++i) {
        const QList<Sample> all = samplesOf(points, i, fit);
        // A resistance of zero or below is no reading of a platinum sensor.
        for (const Sample& s : all)
            if (!(s.x > 0) || !finite({s.t, s.x}))
                return fail(error, FitError::NotPositive, i);
        Device::Channel& ch = result[index.at(i).first][index.at(i).second];
        FitStats st;
        FitError::Reason reason = FitError::None;
        const bool ok = isCallendar(ch) ? fitCallendar(all, ch, st, reason) : fitIts90(all, ch, st, reason);
        if (!ok)
            return fail(error, reason, i);
        out << st;
    }
    channels = result;
    if (stats)
        *stats = out;
    return true;
}

bool CalculateNTC(const QList<PointSet>& points, ChannelLists& channels, FitError* error, const QList<bool>& fit,
                  QList<FitStats>* stats)
{
    if (points.size() < 4)
        return fail(error, FitError::PointCount);
    const QList<QPair<int, int>> index = flattened(channels);
    if (!consistent(points, index.size()))
        return fail(error, FitError::PointCount);

    ChannelLists result = channels;
    QList<FitStats> out;
    for (int i = 0; i < index.size(); ++i) {
        const QList<Sample> all = samplesOf(points, i, fit);
        for (const Sample& s : all)
            if (!(s.x > 0) || !finite({s.t, s.x}))
                return fail(error, FitError::NotPositive, i);
        const QList<Sample> used = fitOnly(all);
        QList<double> temps;
        for (const Sample& s : used)
            temps << s.t;
        if (distinctValues(temps, kDistinctKelvin) < 4)
            return fail(error, FitError::FewFitPoints, i);
        const auto range = std::minmax_element(temps.begin(), temps.end());
        if (*range.second - *range.first < kThermistorSpan)
            return fail(error, FitError::NarrowRange, i);
        // ln R as a cubic in z = (1/T − μ)/σ, then back to powers of 1/T:
        // in 1/T itself the normal equations have pivots of 1e-25.
        std::vector<double> x;
        double mu = 0;
        for (const Sample& s : used) {
            x.push_back(1 / (s.t + kKelvin));
            mu += x.back() / used.size();
        }
        double sigma = 0;
        for (double v : x)
            sigma += (v - mu) * (v - mu) / x.size();
        sigma = std::sqrt(sigma);
        std::vector<std::vector<double>> cols(4);
        std::vector<double> y, beta, inverse;
        for (int k = 0; k < used.size(); ++k) {
            const double z = (x[k] - mu) / sigma;
            cols[0].push_back(1);
            cols[1].push_back(z);
            cols[2].push_back(z * z);
            cols[3].push_back(z * z * z);
            y.push_back(std::log(used.at(k).x));
        }
        double rss = 0;
        if (!(sigma > 0) || !leastSquares(cols, y, beta, &inverse, &rss))
            return fail(error, FitError::IllConditioned, i);
        // c_j = Σ_k β_k σ^−k C(k, j) (−μ)^(k−j).
        static const double binomial[4][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 2, 1, 0}, {1, 3, 3, 1}};
        std::vector<double> jac(16, 0.0);
        double c[4] = {};
        for (int j = 0; j < 4; ++j)
            for (int k = j; k < 4; ++k) {
                jac[j * 4 + k] = std::pow(sigma, -k) * binomial[k][j] * std::pow(-mu, k - j);
                c[j] += jac[j * 4 + k] * beta[k];
            }
        if (!finite({c[0], c[1], c[2], c[3]}))
            return fail(error, FitError::NotFinite, i);
        Device::Channel& ch = result[index.at(i).first][index.at(i).second];
        ch.A_C0 = fixed8(c[0]);
        ch.B_C1 = fixed8(c[1]);
        ch.C_C2 = fixed8(c[2]);
        ch.D_C3 = fixed8(c[3]);
        ch.R0_C4 = QStringLiteral("0");
        ch.A4_C5 = QStringLiteral("0");
        ch.B4_C6 = QStringLiteral("0");
        ch.MX_B_M = 1;
        ch.MX_B_B = 0;
        FitStats st;
        st.p = 4;
        st.names = QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")};
        st.values = {ch.A_C0.toDouble(), ch.B_C1.toDouble(), ch.C_C2.toDouble(), ch.D_C3.toDouble()};
        const int n = used.size();
        if (n > 4)
            st.covariance = propagate(jac, 4, inverse, 4, rss / (n - 4));
        finishStats(st, kThermistor, ch, used);
        out << st;
    }
    channels = result;
    if (stats)
        *stats = out;
    return true;
}

} // namespace CalibrationMath

#include "CalibrationMath.h"

#include "Tool.h"

#include <algorithm>
#include <cmath>

namespace CalibrationMath {

namespace {

constexpr double kKelvin = 273.15;
constexpr double kTriplePoint = 273.16;
constexpr double kHighScale = 481;
constexpr double kZeroTolerance = 0.015;

// ITS-90, reference function from 13.8033 K to 273.16 K.
constexpr double kA[13] = {-2.13534729, 3.18324720,  -1.80143597, 0.71727204, 0.50344027,
                           -0.61899395, -0.05332322, 0.28021362,  0.10715224, -0.29302865,
                           0.04459872,  0.11868632,  -0.05248134};
// ITS-90, reference function from 0 ℃ to 961.78 ℃.
constexpr double kC[10] = {2.78157254,  1.64650916, -0.13714390, -0.00649767, -0.00234444,
                           0.00511868, 0.00187982, -0.00204472, -0.00046122, 0.00045724};

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
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

QString fixed8(double v)
{
    return QString::number(v, 'f', 8);
}

// Ascending by t; swaps only when strictly greater, so equal values keep their order.
template <class T, class Key>
void bubbleSort(QList<T>& list, Key key)
{
    for (int i = 0; i < list.size(); ++i)
        for (int j = 0; j + 1 < list.size() - i; ++j)
            if (key(list.at(j)) > key(list.at(j + 1)))
                list.swapItemsAt(j, j + 1);
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

constexpr double kTripleCelsius = 0.01;

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

int fitPointCount(const QString& mode, int measured)
{
    if (mode == QStringLiteral("热电偶"))
        return std::min(measured, 2);
    if (mode == QStringLiteral("铂电阻"))
        return std::min(measured, 5);
    return measured;
}

bool hasCoefficients(const QString& mode, const Device::Channel& ch)
{
    if (mode == QStringLiteral("热电偶"))
        return ch.MX_B_M != 0;
    if (mode == QStringLiteral("铂电阻"))
        return ch.R0_C4.toDouble() > 0;
    if (mode == QStringLiteral("热敏电阻"))
        return ch.A_C0.toDouble() != 0 || ch.B_C1.toDouble() != 0 || ch.C_C2.toDouble() != 0
               || ch.D_C3.toDouble() != 0;
    return false;
}

double temperatureOf(const QString& mode, const Device::Channel& ch, double x, double guess)
{
    if (mode == QStringLiteral("热电偶"))
        return static_cast<double>(ch.MX_B_M) * x + static_cast<double>(ch.MX_B_B);
    if (mode == QStringLiteral("铂电阻")) {
        const double r0 = ch.R0_C4.toDouble();
        if (!(r0 > 0) || !(x > 0))
            return std::nan("");
        const double w = x / r0;
        const double d = w - 1;
        const double wr = w < 1 ? w - ch.A4_C5.toDouble() * d - ch.B4_C6.toDouble() * d * std::log(w)
                                : w - ch.A_C0.toDouble() * d - ch.B_C1.toDouble() * d * d;
        return referenceTemperature(wr);
    }
    if (mode == QStringLiteral("热敏电阻")) {
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
        return u > 0 ? 1 / u - kKelvin : std::nan("");
    }
    return std::nan("");
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

void DeviationBelowZero(const double t[3], const double r[3], double& a4, double& b4)
{
    const double r0 = r[0];
    double dW[3], d[3], L[3];
    for (int p = 1; p <= 2; ++p) {
        const double w = r[p] / r0;
        dW[p] = w - referenceBelowZero(t[p]);
        d[p] = w - 1;
        L[p] = std::log(w);
    }
    const double D = d[1] * d[2] * (L[2] - L[1]);
    b4 = (dW[2] * d[1] - dW[1] * d[2]) / D;
    a4 = (dW[1] * d[2] * L[2] - dW[2] * d[1] * L[1]) / D;
}

void DeviationAboveZero(const double t[3], const double r[3], double& a, double& b)
{
    const double r0 = r[0];
    double dW[3], d[3];
    for (int p = 1; p <= 2; ++p) {
        const double w = r[p] / r0;
        dW[p] = w - referenceAboveZero(t[p]);
        d[p] = w - 1;
    }
    a = (dW[1] * d[2] * d[2] - dW[2] * d[1] * d[1]) / (d[1] * d[2] * d[2] - d[1] * d[1] * d[2]);
    b = (dW[2] - a * d[2]) / (d[2] * d[2]);
}

bool GaussSolve(Matrix s, int m, double c[4])
{
    if (m < 1 || m > 4)
        return false;
    for (int j = 0; j < m - 1; ++j) {
        for (int i = j + 1; i < m; ++i) {
            const double f = s[j][j] == 0.0 ? 0.0 : s[i][j] / s[j][j];
            for (int k = j; k <= m; ++k)
                s[i][k] -= f * s[j][k];
        }
    }
    for (int j = m - 1; j >= 0; --j) {
        // A vanishing diagonal leaves the system without a unique solution.
        if (s[j][j] == 0.0)
            return false;
        double rest = s[j][m];
        for (int k = j + 1; k < m; ++k)
            rest -= s[j][k] * c[k];
        c[j] = rest / s[j][j];
        if (!std::isfinite(c[j]))
            return false;
    }
    return true;
}

bool LeastSquares(const std::vector<double>& x, const std::vector<double>& y, int n, int m, double c[4])
{
    if (m < 1 || m > 4)
        return false;
    Matrix s = {};
    for (int r = 0; r < m; ++r) {
        for (int col = 0; col < m; ++col)
            s[r][col] = Tool::powerSum(x, n, r + col);
        s[r][m] = Tool::powerProductSum(x, y, n, r);
    }
    s[0][0] = n;
    return GaussSolve(s, m, c);
}

bool CalculateTC(const QList<PointSet>& points, ChannelLists& channels, FitError* error)
{
    if (points.size() < 2)
        return fail(error, FitError::PointCount);
    const QList<QPair<int, int>> index = flattened(channels);
    for (const PointSet& set : points)
        if (set.size() != index.size())
            return fail(error, FitError::PointCount);
    // Results go into a copy first: a refused channel leaves every channel as it was.
    ChannelLists result = channels;
    for (int i = 0; i < index.size(); ++i) {
        const Pair p1 = points.at(0).at(i);
        const Pair p2 = points.at(1).at(i);
        // Two readings at (nearly) one temperature fix no slope: M would be 0
        // and B the temperature, which is no correction of the channel.
        if (std::fabs(p1.t - p2.t) < 1.0)
            return fail(error, FitError::EqualReferences, i);
        if (p1.x == p2.x)
            return fail(error, FitError::EqualReadings, i);
        const double m = (p1.t - p2.t) / (p1.x - p2.x);
        const double b = p1.t - m * p1.x;
        const float mf = static_cast<float>(m);
        const float bf = static_cast<float>(b);
        if (!finite({m, b, mf, bf}))
            return fail(error, FitError::NotFinite, i);
        Device::Channel& ch = result[index.at(i).first][index.at(i).second];
        ch.MX_B_M = mf;
        ch.MX_B_B = bf;
    }
    channels = result;
    return true;
}

bool CalculateRTD(QList<PointSet> points, ChannelLists& channels, FitError* error)
{
    if (points.size() < 5)
        return fail(error, FitError::PointCount);
    points = points.mid(0, 5);
    const QList<QPair<int, int>> index = flattened(channels);
    for (const PointSet& set : points)
        if (set.size() != index.size() || set.isEmpty())
            return fail(error, FitError::PointCount);

    ChannelLists result = channels;
    for (int i = 0; i < index.size(); ++i) {
        QList<Pair> samples;
        for (const PointSet& set : points)
            samples << set.at(i);
        bubbleSort(samples, [](const Pair& p) { return p.t; });
        double t[5], r[5];
        for (int k = 0; k < 5; ++k) {
            t[k] = samples.at(k).t;
            r[k] = samples.at(k).x;
            // A resistance of zero or below is no reading of a platinum sensor.
            if (!(r[k] > 0))
                return fail(error, FitError::NotPositive, i);
        }
        // Every channel (its batches have references of their own) needs two
        // points below its zero point and two above.
        if (std::fabs(t[2]) > kZeroTolerance || !(t[1] < -kZeroTolerance) || !(t[3] > kZeroTolerance))
            return fail(error, FitError::PlatinumPoints, i);

        // The scale's W is relative to R(0.01 ℃); the zero point is measured
        // at g near 0 ℃, so R(0.01 ℃) = R(g)/W(g). W(g) is Wr(g) plus the
        // sensor's own deviation there, known once the fit is: a few rounds.
        const double g = t[2];
        const double wrg = referenceFunction(g);
        double r0 = r[2] / wrg;
        double a4 = 0, b4 = 0, a = 0, b = 0;
        for (int round = 0; round < 4; ++round) {
            const double tBelow[3] = {kTripleCelsius, t[1], t[0]};
            const double rBelow[3] = {r0, r[1], r[0]};
            DeviationBelowZero(tBelow, rBelow, a4, b4);
            const double tAbove[3] = {kTripleCelsius, t[3], t[4]};
            const double rAbove[3] = {r0, r[3], r[4]};
            DeviationAboveZero(tAbove, rAbove, a, b);
            const double d = wrg - 1;
            const double wg = g < kTripleCelsius ? wrg + a4 * d + b4 * d * std::log(wrg) : wrg + a * d + b * d * d;
            if (!finite({wg}) || !(wg > 0))
                return fail(error, FitError::NotFinite, i);
            r0 = r[2] / wg;
        }
        if (!finite({a, b, a4, b4, r0}))
            return fail(error, FitError::NotFinite, i);
        // A platinum sensor's W departs from Wr by a few per cent of W − 1 at
        // most (an IEC 60751 sensor by 2 %); more is a wrong probe or reading.
        for (int k : {0, 1, 3, 4}) {
            const double wr = referenceFunction(t[k]);
            if (std::fabs(r[k] / r0 - wr) > 0.1 * std::fabs(wr - 1))
                return fail(error, FitError::Implausible, i);
        }
        Device::Channel& ch = result[index.at(i).first][index.at(i).second];
        ch.A_C0 = fixed8(a);
        ch.B_C1 = fixed8(b);
        ch.C_C2 = QStringLiteral("0");
        ch.D_C3 = QStringLiteral("0");
        ch.R0_C4 = fixed8(r0);
        ch.A4_C5 = fixed8(a4);
        ch.B4_C6 = fixed8(b4);
    }
    channels = result;
    return true;
}

bool CalculateNTC(const QList<PointSet>& points, ChannelLists& channels, FitError* error)
{
    if (points.size() < 4)
        return fail(error, FitError::PointCount);
    const QList<QPair<int, int>> index = flattened(channels);
    for (const PointSet& set : points)
        if (set.size() != index.size())
            return fail(error, FitError::PointCount);

    ChannelLists result = channels;
    const int n = points.size();
    for (int i = 0; i < index.size(); ++i) {
        std::vector<double> x, y;
        for (const PointSet& set : points) {
            const Pair p = set.at(i);
            if (!(p.x > 0))
                return fail(error, FitError::NotPositive, i);
            x.push_back(1 / (p.t + kKelvin));
            y.push_back(std::log(p.x));
        }
        double c[4] = {};
        if (!LeastSquares(x, y, n, 4, c) || !finite({c[0], c[1], c[2], c[3]}))
            return fail(error, FitError::NotFinite, i);
        Device::Channel& ch = result[index.at(i).first][index.at(i).second];
        ch.A_C0 = fixed8(c[0]);
        ch.B_C1 = fixed8(c[1]);
        ch.C_C2 = fixed8(c[2]);
        ch.D_C3 = fixed8(c[3]);
        ch.R0_C4 = QStringLiteral("0");
        ch.A4_C5 = QStringLiteral("0");
        ch.B4_C6 = QStringLiteral("0");
    }
    channels = result;
    return true;
}

} // namespace CalibrationMath

#pragma once

#include "Device.h"

#include <QList>
#include <QStringList>
#include <QVector>

#include <cmath>
#include <vector>

// The fits of a calibration run. Every function works on plain numbers and
// channel records so the arithmetic can be checked on its own.
//
// Each point of a run is a fit point or a check point. Fits are least
// squares over the fit points (exact when there are as many as unknowns);
// check points never enter a fit and test it independently. Point sets that
// cannot determine the coefficients are refused instead of fitted.
namespace CalibrationMath {

// One sample of a channel at a temperature point: reference t (℃) and the
// channel's reading x (℃ for a thermocouple, ohms for a resistance sensor).
struct Pair
{
    double t = 0;
    double x = 0;
};
// The pairs of one temperature point, batch by batch, label by label.
using PointSet = QList<Pair>;
// Calibrated channels of the three device positions.
using ChannelLists = QList<QList<Device::Channel>>;

// Limits of the platinum forms (℃): the ITS-90 deviation functions used hold
// from the triple point of argon to that of water (a4, b4) and from 0.01 ℃ to
// the freezing point of zinc (a, b) or of aluminium (a, b, c); IEC 60751's
// Callendar–Van Dusen equation from −200 ℃ to 850 ℃.
constexpr double kArgonPoint = -189.3442;
constexpr double kZincPoint = 419.527;
constexpr double kAluminiumPoint = 660.323;
constexpr double kCvdLowest = -200;
constexpr double kCvdHighest = 850;
// The zero point of a platinum fit: the reference within this of 0 ℃.
constexpr double kZeroTolerance = 0.015;
// Refusal bounds (see the README): deviation coefficients of an industrial
// platinum sensor stay far inside these; beyond them the probe or its
// readings are wrong. W must be within 5 % of (Wr − 1) of the reference curve.
constexpr double kDeviationBound = 0.05;
constexpr double kPlausibleShare = 0.05;
// Within a platinum subrange the fit points' |W − 1| must spread by this
// factor per unknown, or the subrange's coefficients are not determined.
constexpr double kSpreadFactor = 1.5;
// A thermistor fit needs four temperatures at least 1 K apart over 10 K.
constexpr double kThermistorSpan = 10;
constexpr double kDistinctKelvin = 1;

// ITS-90 reference functions of platinum thermometers: Wr below the triple
// point of water (t in ℃, through T/273.16) and above 0 ℃.
double referenceBelowZero(double t);
double referenceAboveZero(double t);
// Wr at t from the function that holds there (below 0.01 ℃ the low range).
double referenceFunction(double t);
// t (℃) of a reference ratio Wr, the inverse of the function that holds.
double referenceTemperature(double wr);

// Why a fit was refused, and which channels (flattened index) caused it.
struct FitError
{
    enum Reason {
        None,
        PointCount,
        EqualReferences,
        EqualReadings,
        PlatinumPoints,
        NotPositive,
        NotFinite,
        Implausible,
        ZeroPoint,       // no fit point at 0 ℃ within the tolerance
        OutOfRange,      // a fit point outside the range of the form
        FewFitPoints,    // fewer fit points (distinct temperatures) than unknowns
        IllConditioned,  // the fit points do not determine the coefficients
        CoefficientBound,
        NarrowRange      // thermistor points within less than 10 K
    };
    Reason reason = None;
    QList<int> channels;
};

// What a least-squares fit of one channel leaves besides its coefficients.
// Residuals are those of the coefficients as stored, in ℃.
struct FitStats
{
    int n = 0;            // fit points
    int p = 0;            // coefficients determined by them
    double s = std::nan(""); // standard error √(Σr²/(n − p)), ℃; NaN when n = p
    double low = std::nan(""), high = std::nan(""); // range of validity: lowest and highest fit point, ℃
    QStringList names;          // coefficients in the order of the covariance
    QVector<double> values;
    QVector<double> covariance; // p × p row by row, of `values`; empty when n = p
    int dof() const { return n - p; }
};

// Least squares y ≈ A·β by Householder QR on columns scaled to unit length.
// `columns` holds A column by column. False when a column is zero, a pivot
// is not clearly above zero (the columns are nearly dependent) or a result
// is not finite. `inverse` gets (AᵀA)⁻¹ (p × p), `rss` the residual sum.
bool leastSquares(const std::vector<std::vector<double>>& columns, const std::vector<double>& y,
                  std::vector<double>& beta, std::vector<double>* inverse = nullptr, double* rss = nullptr);

// Number of distinct values: sorted, a value starts a new group when it
// exceeds the group's first by `gap` (additive) or by the factor `ratio`.
int distinctValues(QList<double> values, double gap, double ratio = 0);

// The temperature a channel's coefficients give for a reading x (℃ for a
// thermocouple through M and B, ohms otherwise, then M and B applied as the
// loggers do); `guess` is a temperature near the answer. NaN when the
// coefficients give none.
double temperatureOf(const QString& mode, const Device::Channel& ch, double x, double guess);
// Whether a channel carries coefficients of the kind (a thermocouple always
// has M and B; a resistance sensor needs its coefficient texts).
bool hasCoefficients(const QString& mode, const Device::Channel& ch);
// Whether a platinum channel uses the Callendar–Van Dusen equation.
bool isCallendar(const Device::Channel& ch);

// One fit per sensor kind; they write the result fields of `channels` and
// refuse (false, nothing changed) point sets that do not determine the
// coefficients. `fit` marks the fit points by point index (missing or
// empty: every point is one); `stats` gets one entry per channel.
bool CalculateTC(const QList<PointSet>& points, ChannelLists& channels, FitError* error = nullptr,
                 const QList<bool>& fit = {}, QList<FitStats>* stats = nullptr);
bool CalculateRTD(const QList<PointSet>& points, ChannelLists& channels, FitError* error = nullptr,
                  const QList<bool>& fit = {}, QList<FitStats>* stats = nullptr);
bool CalculateNTC(const QList<PointSet>& points, ChannelLists& channels, FitError* error = nullptr,
                  const QList<bool>& fit = {}, QList<FitStats>* stats = nullptr);

} // namespace CalibrationMath

#pragma once

#include "Device.h"

#include <QList>

#include <vector>

// The fits of a calibration run. Every function works on plain numbers and
// channel records so the arithmetic can be checked on its own; the order of
// operations is fixed because the stored coefficient texts depend on it.
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
    enum Reason { None, PointCount, EqualReferences, EqualReadings, PlatinumPoints, NotPositive, NotFinite, Implausible };
    Reason reason = None;
    QList<int> channels;
};

// How many of the run's points (first in measuring order) a kind's fit uses;
// later points only check the fit. Thermistors use every point.
int fitPointCount(const QString& mode, int measured);

// The temperature a channel's coefficients give for a reading x (℃ for a
// thermocouple through M and B, ohms otherwise); `guess` is a temperature near
// the answer. NaN when the coefficients give none.
double temperatureOf(const QString& mode, const Device::Channel& ch, double x, double guess);
// Whether a channel carries coefficients of the kind (a thermocouple always
// has M and B; a resistance sensor needs its coefficient texts).
bool hasCoefficients(const QString& mode, const Device::Channel& ch);

// Sub-range deviation coefficients from three (t, R) points, the first the
// zero point: W − Wr = a4(W−1) + b4(W−1)lnW below zero, a(W−1) + b(W−1)² above.
void DeviationBelowZero(const double t[3], const double r[3], double& a4, double& b4);
void DeviationAboveZero(const double t[3], const double r[3], double& a, double& b);

// Augmented normal-equation matrix of at most four unknowns.
using Matrix = double[4][5];
// Elimination without pivoting; false when a diagonal element vanishes or a
// result is not finite.
bool GaussSolve(Matrix s, int m, double c[4]);
// y ≈ Σ c_j x^j over n samples, m ≤ 4, through the normal equations.
bool LeastSquares(const std::vector<double>& x, const std::vector<double>& y, int n, int m, double c[4]);

// One fit per sensor kind; they write the result fields of `channels` and
// refuse (false) wrong point counts, inconsistent data and any fit whose
// coefficients would not be finite numbers.
// A run may measure more points than a two-point thermocouple or a
// five-point platinum fit needs: the first ones are fitted, the rest are
// left for checking.
bool CalculateTC(const QList<PointSet>& points, ChannelLists& channels, FitError* error = nullptr);
bool CalculateRTD(QList<PointSet> points, ChannelLists& channels, FitError* error = nullptr);
bool CalculateNTC(const QList<PointSet>& points, ChannelLists& channels, FitError* error = nullptr);

} // namespace CalibrationMath

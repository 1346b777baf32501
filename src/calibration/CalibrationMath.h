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
bool CalculateTC(const QList<PointSet>& points, ChannelLists& channels);
bool CalculateRTD(QList<PointSet> points, ChannelLists& channels);
bool CalculateNTC(const QList<PointSet>& points, ChannelLists& channels);

} // namespace CalibrationMath

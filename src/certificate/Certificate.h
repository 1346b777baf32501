#pragma once

#include "CalibrationStore.h"

#include <QCoreApplication>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <cmath>

// A calibration certificate for one device of a run: what the lab, the run's
// evidence and the person issuing it say, gathered from the history so any
// earlier run can be certified too, and written out as data (JSON, CSV).
namespace Certificate {

struct Signatory
{
    QString name;
    QString role;
};

// "姓名/职务;姓名/职务" as the lab records it; a name without role keeps an empty role.
QList<Signatory> parseSignatories(const QString& text);

// The number for `sequence` under `pattern`: {yyyy}, {yy}, {MM}, {dd} are the
// issue date, a run of n in braces ({nnnn}) the sequence with that many digits.
// A pattern without a sequence field gets "-{nnn}" appended; an empty one is
// "{yyyy}-{nnnn}".
QString numberFor(const QString& pattern, const QDate& date, int sequence);
// The lowest sequence whose number is not among `taken`.
QString nextNumber(const QString& pattern, const QDate& date, const QStringList& taken);

struct BudgetLine
{
    QString name;
    QString key; // the name's untranslated text, where the run stored it
    QString kind; // "expanded", "rectangular", "resolution", "typeA", "standard"
    double value = 0;
    double k = 2;
    int count = 1;
    double sensitivity = 1;
    double standard = 0;     // u in the input's unit
    double contribution = 0; // |c|·u in ℃
    double dof = INFINITY;
};

struct Point
{
    int point = 0;
    QString role; // "fit" or "check"
    double reference = 0;
    double reading = 0;
    double fitted = 0;
    double errorAsFound = NAN; // ℃
    double errorAsLeft = NAN;  // ℃
    // Expanded uncertainty (rounded to two significant digits), its k and the
    // decimals the results are given to; NaN without a budget.
    double U = NAN;
    double k = NAN;
    int decimals = 3;
    double combined = NAN;
    double dof = INFINITY;
    double expanded = NAN; // k·u_c before rounding
    QList<BudgetLine> budget;
};

struct Channel
{
    QString number;
    QString label; // "1_101": device position and channel
    QString tag;   // the configuration's label of the channel
    QString type;  // "热电偶", "铂电阻", "热敏电阻"
    QString function;
    QString savedAt;
    QStringList before; // the nine coefficient texts
    QStringList after;
    double validFrom = NAN, validTo = NAN; // range of validity of `after`, ℃ (lowest and highest fit point)
    QList<Point> points;
};

struct Standard
{
    QString serial, kind, certificate, laboratory, uncertainty;
    QDate calibrated, due;
    double k = 2;
};

struct Content
{
    // Issuing.
    QString number;
    QDate issued;
    QString labName, labAddress, accreditation;
    Signatory signatory;
    QString operatorName; // who performed the calibration
    QString customer, customerAddress;
    QString ambient, humidity; // as entered: ℃ and %RH
    // The item and the run.
    QString startTime;
    QDate calibratedFrom, calibratedTo;
    int position = 1; // device of the run, 1 … 3
    QString model, serial, selector, config;
    QString mode;      // channel kind of the run
    QString reference; // the run's reference as the page named it
    bool hasStandard = false;
    Standard standard;
    bool hasSource = false;
    QString sourceSerial, sourceModel;
    QList<Channel> channels;
};

// Device positions (1 … 3) with calibrated channels in a run's history.
QList<int> devicePositions(const QList<Tool::Struct_CalibrationHistory>& rows);

// The run part of the content for the device at `position`: the newest set
// of each of its channels, with its evidence, or from the residuals where a
// set was saved without evidence. False when the device has no channel.
bool fromHistory(const QList<Tool::Struct_CalibrationHistory>& rows, int position, Content& content);

// The names of the coefficients a kind of channel uses, with their index
// among the nine texts.
QList<QPair<QString, int>> coefficientNames(const QString& mode);
// The names a certificate prints for a channel's written set: R0 under its
// exact name ("R(0.01 ℃)" on the ITS-90 scale, "R(0 ℃)" for Callendar–Van
// Dusen) and the cubic term only where the set has one.
QList<QPair<QString, int>> coefficientLabels(const QString& mode, const QString& function, const QStringList& set);

// Every number at full precision, the budget included (see the README).
QByteArray toJson(const Content& content);
// The results table as printed: one row per channel and point.
QByteArray resultsCsv(const Content& content);

// A value to `decimals` places, "—" when it is no number.
QString fixed(double value, int decimals);

} // namespace Certificate

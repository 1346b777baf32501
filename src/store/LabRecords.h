#pragma once

// What the laboratory records about its standards and conditions, for the
// uncertainty of a calibration: the reference standards with their
// certificates, the temperature sources as the lab characterised them, the
// readout of each logger model and channel type, and the lab itself. The
// tables are created on open when missing; nothing is filled in for the lab.

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace Tool {

// A value, or a small table over temperature: "0.02" or "-80:0.02;0:0.01;100:0.03".
using TemperatureTable = QList<QPair<double, double>>;
TemperatureTable parseTemperatureTable(const QString& text, bool* ok = nullptr);
QString temperatureTableText(const TemperatureTable& table);

// A reference standard by serial number: the Bluetooth thermometer, the
// built-in reference of a source, or "manual" for typed references.
struct Struct_ReferenceStandard
{
    QString Serial;
    QString Kind;        // "KORVA 5310A", "干式炉-R", "油槽-R", "手动"
    QString Certificate; // certificate number
    QString Laboratory;  // calibrating laboratory
    QDate CalibrationDate;
    QDate DueDate;
    QString Uncertainty; // expanded U in ℃, a value or a table over temperature
    double CoverageK = 2;
    double DriftPerYear = 0; // ℃ per year

    // Past its due date on `today` (a record without a due date never is).
    bool overdue(const QDate& today) const { return DueDate.isValid() && today > DueDate; }
};

// A temperature source by serial number, as the lab characterised it (℃,
// half-widths; a value or a table over temperature).
struct Struct_SourceRecord
{
    QString Serial;
    QString Model;
    QString Stability;
    QString Uniformity;
};

// The readout of a logger model for one channel type, in the reading's unit.
struct Struct_ReadoutRecord
{
    QString Model;
    QString ChannelType; // "热电偶", "铂电阻", "热敏电阻"
    double Resolution = 0;
    double Accuracy = 0; // half-width of a rectangular distribution
    QString Unit;        // "℃", "Ω", "mV"
};

// Whether a record's serial number is the one an instrument answered; a
// source answers its identity as "maker,model,serial,version".
bool serialMatches(const QString& recorded, const QString& answered);

QStringList labTables();
bool ensureLabSchema(QSqlDatabase& db);

bool putReferenceStandard(const Struct_ReferenceStandard& record);
bool getReferenceStandards(QList<Struct_ReferenceStandard>& list);
// `found` false (and true returned) when no record has this serial.
bool getReferenceStandard(const QString& serial, Struct_ReferenceStandard& record, bool& found);
bool deleteReferenceStandard(const QString& serial);

bool putSourceRecord(const Struct_SourceRecord& record);
bool getSourceRecords(QList<Struct_SourceRecord>& list);
bool deleteSourceRecord(const QString& serial);

bool putReadoutRecord(const Struct_ReadoutRecord& record);
bool getReadoutRecords(QList<Struct_ReadoutRecord>& list);
bool deleteReadoutRecord(const QString& model, const QString& channelType);

// Replaces every record of the three tables in one transaction.
bool replaceLabRecords(const QList<Struct_ReferenceStandard>& standards, const QList<Struct_SourceRecord>& sources,
                       const QList<Struct_ReadoutRecord>& readouts);

// The lab's own entries ("LabName", "LabAddress", "Accreditation",
// "CertificatePattern", "Signatories"); a missing key reads empty.
bool putLabRecord(const QString& key, const QString& value);
bool getLabRecord(const QString& key, QString& value);

} // namespace Tool

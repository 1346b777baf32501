#pragma once

#include "Records.h"

#include <QString>
#include <QStringList>

// The channel-configuration export file: an INI file (UTF-8) whose section
// "Standardizer" holds the correction fields of every channel.
namespace ConfigFile {

// The nine correction lists, one entry per channel.
struct Corrections
{
    QStringList A_C0;
    QStringList B_C1;
    QStringList C_C2;
    QStringList D_C3;
    QStringList R0_C4;
    QStringList A4_C5;
    QStringList B4_C6;
    QStringList MX_B_M;
    QStringList MX_B_B;
};

// The file name filter of every dialog that chooses such a file.
QString filter();

// Writes the nine keys of a configuration, replacing the file's previous
// content. False when the file cannot be written.
bool write(const QString& path, const Tool::Struct_ChannelConfig& config);

// Reads the nine keys. A/B0 … D/B3 fall back to the keys B0 … B3 of older
// files when their own key is missing or empty. False when the file does not
// exist or cannot be read.
bool read(const QString& path, Corrections& corrections);

// A correction entry as the program stores it: a number (C locale). Texts
// that are no number, and the non-finite "nan"/"inf", are refused.
bool isNumber(const QString& text);

// The first of the first `channels` entries of any list that is no number
// (see isNumber); empty when every such entry is one. `list` names its key.
struct Invalid
{
    QString list;
    int index = -1;
    QString text;
    bool found() const { return index >= 0; }
};
Invalid firstInvalid(const Corrections& corrections, int channels);

// Copies entry i of every list into channel i of the configuration; channels
// beyond a list's length keep their value.
void apply(const Corrections& corrections, Tool::Struct_ChannelConfig& config);

} // namespace ConfigFile

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Rules of the channel and batch choice of a calibration run, kept apart
// from the dialogs so they can be checked directly.
namespace ChannelChoice {

// Sensor kinds a run can calibrate, in the order offered: platinum,
// thermistor, thermocouple, each when some channel has it; "空" when none.
QStringList kindsOffered(const QStringList& channelTypes);
// Whether a channel of that type and function can be picked for the kind:
// thermistors only with the R(T) curve, platinum only with ITS90.
bool selectable(const QString& kind, const QString& type, const QString& function);
// Per device position, the numbers of the checked rows; rows are laid out
// device after device with rowCounts[p] rows for position p.
QList<QStringList> selectedByDevice(const QList<int>& rowCounts, const QList<bool>& checked,
                                    const QStringList& numbers);
// 1-based batch of the row at `index` when batches hold at most `maximum`
// channels, and the batch count of `rows` rows (1 when there are none).
int batchOf(int index, int maximum);
int batchCount(int rows, int maximum);

} // namespace ChannelChoice

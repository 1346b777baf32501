#pragma once

#include "Records.h"
#include "SystemContext.h"

#include <QList>
#include <QString>
#include <QStringList>

// Decisions of the acquisition set-up and the channel choice that do not need
// a widget: the dialogs call these and only show the outcome.
namespace AcquisitionRules {

// Modes of the acquisition chain, as shown and as stored in the context.
QString onlineMode();  // "在线"
QString importMode();  // "导入"
QString offlineMode(); // "脱机"

enum DeviceCheck { DevicesOk = 0, DeviceMissing = 1, DevicesEqual = 2 };

// Device combo texts t1..t3 with device count m. Later findings override
// earlier ones, so two empty combos count as "equal", not as "missing".
DeviceCheck checkDevices(int count, const QString& t1, const QString& t2, const QString& t3);

// Text a device is offered under: number + "_" + model, e.g. "2_3107A-TC".
QString deviceText(const Tool::Struct_AcquisitionDevice& device);

// Models whose driver can download data logged in the instrument's memory.
bool supportsMemoryLogging(const QString& model);
// True when the list is not empty and every device supports memory logging.
bool offlineAvailable(const QList<Tool::Struct_AcquisitionDevice>& devices);
// "在线", "导入" and, when offlineAvailable(chosen), "脱机".
QStringList modeList(const QList<Tool::Struct_AcquisitionDevice>& chosen);

// One ChosenChannel per channel of every device, ordered by device, then by
// channel position, all assigned to the project at projectIndex[k] (0 when
// the list is shorter). Lists shorter than a configuration's Number yield
// empty texts rather than reading past their end.
QList<ChosenChannel> chosenChannels(const QList<Tool::Struct_ChannelConfig>& configs,
                                    const QList<int>& projectIndex = {});

enum ChoiceProblem { ChoiceOk, ProjectWithoutChannel, TooManyUnits };
struct ChoiceCheck
{
    ChoiceProblem problem = ChoiceOk;
    int project = -1; // 0-based project that failed
};
// Every project needs a channel and at most two distinct units, checked project by project.
ChoiceCheck checkChoice(const QList<ChosenChannel>& channels, int projectCount);

} // namespace AcquisitionRules

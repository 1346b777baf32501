#pragma once

#include "Device.h"

class Collection;

// The channel-set check shared by the multi-function loggers: every channel
// against the driver's vocabulary, wiring partners, and the unit count.
namespace ChannelRules {

struct Options
{
    QString functionEnding; // ending of the message for a wrong function
    int partnerOffset;      // partner of a multi-wire channel: number + offset
    bool byPosition;        // compare the position within the module (number % 100)
    int lastPartnered;      // highest number/position that has a partner
    int lastRefused;        // highest number/position that refuses multi-wire use
    bool oneTemperatureUnit;
};

bool check(Collection& driver, const QList<Device::Channel>& channels, const Options& options,
           QString& message);

} // namespace ChannelRules

#pragma once

#include <QMap>

#include <functional>

namespace sim {

class InstrumentSource;

// The simulated lab: which instruments are temperature sources, so that
// other simulated instruments can put their sensors into them. A logger
// channel declared to sit in source #N reads the source's actual
// temperature at the moment it scans; a simulated reference thermometer can
// do the same through probe().
//
// Instrument indexes count from 0 here (the console's @N is index + 1). The
// lab does not own the sources; whoever adds one removes it before it goes.
// Everything runs on the simulator's one event-loop thread: no locking.
class Lab
{
public:
    void addSource(int instrumentIndex, InstrumentSource* source);
    void removeSource(int instrumentIndex);
    bool hasSource(int instrumentIndex) const { return m_sources.contains(instrumentIndex); }
    InstrumentSource* source(int instrumentIndex) const { return m_sources.value(instrumentIndex); }
    QList<int> sourceIndexes() const { return m_sources.keys(); }

    // Actual temperature (°C) of source #instrumentIndex now, on the source's
    // own (possibly time-scaled) clock, with its fluctuation but without
    // display noise; NaN when that instrument is no source.
    double sourceTemperature(int instrumentIndex) const;
    // The same as a callable to keep (it looks the source up on every call,
    // so it may be made before the source is added).
    std::function<double()> probe(int instrumentIndex) const;

private:
    QMap<int, InstrumentSource*> m_sources;
};

} // namespace sim

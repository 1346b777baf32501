#include "Lab.h"

#include "InstrumentSource.h"

#include <limits>

namespace sim {

void Lab::addSource(int instrumentIndex, InstrumentSource* source)
{
    if (source)
        m_sources.insert(instrumentIndex, source);
}

void Lab::removeSource(int instrumentIndex)
{
    m_sources.remove(instrumentIndex);
}

double Lab::sourceTemperature(int instrumentIndex) const
{
    const InstrumentSource* s = m_sources.value(instrumentIndex);
    return s ? s->temperature() : std::numeric_limits<double>::quiet_NaN();
}

std::function<double()> Lab::probe(int instrumentIndex) const
{
    return [this, instrumentIndex] { return sourceTemperature(instrumentIndex); };
}

} // namespace sim

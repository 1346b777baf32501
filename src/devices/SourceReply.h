#pragma once

#include <QString>

// Reading the text replies of the temperature sources. A reply that does
// not hold a finite number is refused: a source that answers noise must
// never pass for one that reads 0 ℃.
namespace SourceReply {

// Dry block: the whole reply is the number once spaces and line ends are gone.
bool dryNumber(const QString& reply, double* value);
// Liquid bath: a reply starting with `prefix` ("r:", "set:"); spaces and
// the unit letter "C" are dropped and the text after the first ":" is the number.
bool tankNumber(const QString& reply, const QString& prefix, double* value);
// Dry block stability answer: any number other than 0 means stable; a
// reply that is no number is no answer.
bool dryStable(const QString& reply, bool* stable);

} // namespace SourceReply

#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QRegularExpression;
class QTableWidgetItem;

// The fixed words the program stores in the database and sends to the
// instruments in Chinese (sample rates, link kinds, sensor types, wiring,
// source kinds, acquisition modes, warning-log types …). They are stored
// unchanged whatever the interface language; only their display goes through
// here. Combo boxes show the display text and keep the stored word as item
// data (Qt::UserRole); table items keep it the same way.
namespace Vocabulary {

// The display text of a stored word in the interface language; any other
// text is returned unchanged.
QString text(const QString& stored);
QStringList texts(const QStringList& stored);
// The stored word behind a display text (Chinese or translated); unknown text
// is returned unchanged.
QString value(const QString& shown);
// True when the word belongs to the vocabulary.
bool known(const QString& stored);

// Replaces a combo box's items by the stored words.
void fill(QComboBox* box, const QStringList& stored);
void addItem(QComboBox* box, const QString& stored);
// The stored word of the current item; for text typed into an editable box
// (or an item without data) the word the text stands for.
QString current(const QComboBox* box);
int find(const QComboBox* box, const QString& stored);
// Selects the item holding the stored word; false (selection unchanged) when
// there is none.
bool select(QComboBox* box, const QString& stored);
// Re-applies the display texts after a language change.
void retranslate(QComboBox* box);

// A table item showing the display text of a stored word and holding the word.
QTableWidgetItem* item(const QString& stored);
void setItem(QTableWidgetItem* item, const QString& stored);
// The stored word of a table item (its text when it holds none).
QString value(const QTableWidgetItem* item);

// Warning-log details the program writes in Chinese (reconnection notes,
// alarm texts, lost scans), shown in the interface language.
QString logDetails(const QString& stored);

// What a TCP port field takes: 10 … 65535 without a leading zero (two digits
// at least, as before). A larger number would wrap to another port.
QRegularExpression tcpPortPattern();

} // namespace Vocabulary

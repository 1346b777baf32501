#include "Vocabulary.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QTableWidgetItem>

namespace Vocabulary {

namespace {

const char* const kContext = "Vocabulary";

// Every stored word that is shown to the user. Instruments and stored files
// depend on the Chinese forms: they are never translated in storage.
const char* const kWords[] = {
    // sample rates
    QT_TRANSLATE_NOOP("Vocabulary", "快速"),
    QT_TRANSLATE_NOOP("Vocabulary", "中速"),
    QT_TRANSLATE_NOOP("Vocabulary", "慢速"),
    // link kinds and the manual source/reference
    QT_TRANSLATE_NOOP("Vocabulary", "串口"),
    QT_TRANSLATE_NOOP("Vocabulary", "网络"),
    QT_TRANSLATE_NOOP("Vocabulary", "蓝牙"),
    QT_TRANSLATE_NOOP("Vocabulary", "手动"),
    QT_TRANSLATE_NOOP("Vocabulary", "自动"),
    // channel types
    QT_TRANSLATE_NOOP("Vocabulary", "热电偶"),
    QT_TRANSLATE_NOOP("Vocabulary", "热电阻"),
    QT_TRANSLATE_NOOP("Vocabulary", "铂电阻"),
    QT_TRANSLATE_NOOP("Vocabulary", "热敏电阻"),
    QT_TRANSLATE_NOOP("Vocabulary", "直流电压"),
    QT_TRANSLATE_NOOP("Vocabulary", "交流电压"),
    QT_TRANSLATE_NOOP("Vocabulary", "直流电流"),
    QT_TRANSLATE_NOOP("Vocabulary", "交流电流"),
    QT_TRANSLATE_NOOP("Vocabulary", "电阻"),
    QT_TRANSLATE_NOOP("Vocabulary", "频率"),
    QT_TRANSLATE_NOOP("Vocabulary", "空"),
    // quantities of units
    QT_TRANSLATE_NOOP("Vocabulary", "温度"),
    QT_TRANSLATE_NOOP("Vocabulary", "湿度"),
    QT_TRANSLATE_NOOP("Vocabulary", "压力"),
    QT_TRANSLATE_NOOP("Vocabulary", "电压"),
    QT_TRANSLATE_NOOP("Vocabulary", "电流"),
    QT_TRANSLATE_NOOP("Vocabulary", "其他"),
    // wiring
    QT_TRANSLATE_NOOP("Vocabulary", "二线制"),
    QT_TRANSLATE_NOOP("Vocabulary", "三线制"),
    QT_TRANSLATE_NOOP("Vocabulary", "四线制"),
    // cold-junction compensation
    QT_TRANSLATE_NOOP("Vocabulary", "内部补偿"),
    QT_TRANSLATE_NOOP("Vocabulary", "固定冷端"),
    // temperature sources
    QT_TRANSLATE_NOOP("Vocabulary", "油槽"),
    QT_TRANSLATE_NOOP("Vocabulary", "油槽-R"),
    QT_TRANSLATE_NOOP("Vocabulary", "干式炉"),
    QT_TRANSLATE_NOOP("Vocabulary", "干式炉-R"),
    // acquisition modes
    QT_TRANSLATE_NOOP("Vocabulary", "在线"),
    QT_TRANSLATE_NOOP("Vocabulary", "导入"),
    QT_TRANSLATE_NOOP("Vocabulary", "脱机"),
    // warning-log types and fixed details
    QT_TRANSLATE_NOOP("Vocabulary", "通讯异常"),
    QT_TRANSLATE_NOOP("Vocabulary", "数据库异常"),
    QT_TRANSLATE_NOOP("Vocabulary", "校准系数"),
    QT_TRANSLATE_NOOP("Vocabulary", "上限报警"),
    QT_TRANSLATE_NOOP("Vocabulary", "下限报警"),
    QT_TRANSLATE_NOOP("Vocabulary", "设备重新连接。"),
    QT_TRANSLATE_NOOP("Vocabulary", "进入手动重连模式！"),
    QT_TRANSLATE_NOOP("Vocabulary", "手动重连成功！"),
};

QString translated(const char* word)
{
    return QCoreApplication::translate(kContext, word);
}

} // namespace

bool known(const QString& stored)
{
    for (const char* word : kWords)
        if (stored == QString::fromUtf8(word))
            return true;
    return false;
}

QString text(const QString& stored)
{
    if (stored.isEmpty())
        return stored;
    for (const char* word : kWords)
        if (stored == QString::fromUtf8(word))
            return translated(word);
    return stored;
}

QStringList texts(const QStringList& stored)
{
    QStringList out;
    out.reserve(stored.size());
    for (const QString& s : stored)
        out << text(s);
    return out;
}

QString value(const QString& shown)
{
    if (shown.isEmpty())
        return shown;
    for (const char* word : kWords) {
        const QString stored = QString::fromUtf8(word);
        if (shown == stored)
            return stored;
    }
    // Typed text may differ in case from the translation.
    for (const char* word : kWords)
        if (shown.compare(translated(word), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(word);
    return shown;
}

void fill(QComboBox* box, const QStringList& stored)
{
    box->clear();
    // All items in one insertion, as addItems does: a slot on the first
    // selection sees the whole list (and finds the word through its text).
    box->addItems(texts(stored));
    for (int i = 0; i < stored.size(); ++i)
        box->setItemData(i, stored.at(i));
}

void addItem(QComboBox* box, const QString& stored)
{
    box->addItem(text(stored), stored);
}

QString current(const QComboBox* box)
{
    const int index = box->currentIndex();
    // An editable box whose text was typed over holds no item for it.
    if (index >= 0 && box->itemText(index) == box->currentText()) {
        const QVariant data = box->itemData(index);
        if (data.isValid())
            return data.toString();
    }
    return value(box->currentText());
}

int find(const QComboBox* box, const QString& stored)
{
    const int index = box->findData(stored);
    return index >= 0 ? index : box->findText(text(stored));
}

bool select(QComboBox* box, const QString& stored)
{
    const int index = find(box, stored);
    if (index < 0)
        return false;
    box->setCurrentIndex(index);
    return true;
}

void retranslate(QComboBox* box)
{
    for (int i = 0; i < box->count(); ++i) {
        const QVariant data = box->itemData(i);
        if (data.isValid())
            box->setItemText(i, text(data.toString()));
    }
}

QTableWidgetItem* item(const QString& stored)
{
    auto* cell = new QTableWidgetItem;
    setItem(cell, stored);
    return cell;
}

void setItem(QTableWidgetItem* cell, const QString& stored)
{
    cell->setText(text(stored));
    cell->setData(Qt::UserRole, stored);
}

QString value(const QTableWidgetItem* cell)
{
    if (!cell)
        return {};
    const QVariant data = cell->data(Qt::UserRole);
    return data.isValid() ? data.toString() : cell->text();
}

QString logDetails(const QString& stored)
{
    if (known(stored))
        return text(stored);
    // "设备" number "-" serial " 通道" label, then the limit and the value.
    static const QRegularExpression alarm(
        QStringLiteral("^设备(\\d+)-(.*) 通道(.*)(低于下限|高于上限):(\\S+)$"));
    QRegularExpressionMatch m = alarm.match(stored);
    if (m.hasMatch()) {
        const bool low = m.captured(4) == QStringLiteral("低于下限");
        const char* form = low ? QT_TRANSLATE_NOOP("Vocabulary", "设备%1-%2 通道%3低于下限:%4")
                               : QT_TRANSLATE_NOOP("Vocabulary", "设备%1-%2 通道%3高于上限:%4");
        return translated(form).arg(m.captured(1), m.captured(2), m.captured(3), m.captured(5));
    }
    static const QRegularExpression lost(QStringLiteral("^数据库写入中断期间丢失(\\d+)次扫描的数据（(\\d+)行）。$"));
    m = lost.match(stored);
    if (m.hasMatch())
        return translated(QT_TRANSLATE_NOOP("Vocabulary", "数据库写入中断期间丢失%1次扫描的数据（%2行）。"))
            .arg(m.captured(1), m.captured(2));
    return stored;
}

QRegularExpression tcpPortPattern()
{
    return QRegularExpression(QStringLiteral(
        "^([1-9][0-9]{1,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])$"));
}

} // namespace Vocabulary

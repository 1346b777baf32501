// The INI files the program reads: the mail settings ("mail.ini" in the
// working directory) and an imported channel-configuration file, each
// through the function the program reads it with.
//
// Input: one control byte, then the file. Control bit 0 picks the mail
// settings, otherwise the configuration file (bits 1-4: the channels of the
// configuration it is applied to, 0 … 15).
// Mail checks: the port is a TCP port; host and sender, which go on the wire
// inside SMTP command lines, hold no control character (a CR or LF would
// start another command) and no surrounding blanks.
// Configuration checks: a file refused as malformed yields nothing; when the
// import accepts it, every entry applied is a finite number without the comma that the
// store joins a list with, every list keeps its length, and channels beyond
// a list keep their value.

#include "ConfigFile.h"
#include "Email.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

QString g_mail;
QString g_config;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool hasControl(const QByteArray& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    }
    return false;
}

bool writeFile(const QString& path, const uint8_t* data, size_t size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) == qint64(size);
}

void mail()
{
    const MailSettings s = MailSettings::load(g_mail);
    check(s.port > 0);
    const QByteArray host = s.host.toUtf8();
    check(!hasControl(host) && host.trimmed() == host);
    check(!hasControl(s.sender) && s.sender.trimmed() == s.sender);
}

void configuration(int channels)
{
    ConfigFile::Corrections c;
    if (!ConfigFile::read(g_config, c)) {
        // A malformed file (QSettings' format error) is refused whole.
        check(c.A_C0.isEmpty() && c.MX_B_M.isEmpty() && c.MX_B_B.isEmpty());
        return;
    }
    const ConfigFile::Invalid invalid = ConfigFile::firstInvalid(c, channels);
    if (invalid.found()) {
        check(invalid.index >= 0 && invalid.index < channels);
        check(!ConfigFile::isNumber(invalid.text));
        return;
    }
    Tool::Struct_ChannelConfig config;
    const QString marker = QStringLiteral("keep");
    QList<QStringList*> lists = {&config.A_C0,  &config.B_C1,  &config.C_C2,   &config.D_C3,  &config.R0_C4,
                                 &config.A4_C5, &config.B4_C6, &config.MX_B_M, &config.MX_B_B};
    for (QStringList* list : lists) {
        for (int i = 0; i < channels; ++i)
            list->append(marker);
    }
    ConfigFile::apply(c, config);
    const QList<const QStringList*> read = {&c.A_C0,  &c.B_C1,  &c.C_C2,   &c.D_C3,  &c.R0_C4,
                                            &c.A4_C5, &c.B4_C6, &c.MX_B_M, &c.MX_B_B};
    for (int l = 0; l < lists.size(); ++l) {
        const QStringList& applied = *lists.at(l);
        check(applied.size() == channels);
        for (int i = 0; i < channels; ++i) {
            if (i >= read.at(l)->size()) {
                check(applied.at(i) == marker);
                continue;
            }
            const QString& entry = applied.at(i);
            check(entry == read.at(l)->at(i));
            bool ok = false;
            const double value = entry.toDouble(&ok);
            check(ok && std::isfinite(value));
            check(!entry.contains(QLatin1Char(',')));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/arq-fuzz-XXXXXX"));
    g_mail = dir.filePath(QStringLiteral("mail.ini"));
    g_config = dir.filePath(QStringLiteral("config.ini"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t control = data[0];
    const QString& path = (control & 1) ? g_mail : g_config;
    if (!writeFile(path, data + 1, size - 1))
        return 0;
    if (control & 1)
        mail();
    else
        configuration((control >> 1) & 15);
    return 0;
}

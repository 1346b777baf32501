#pragma once

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <functional>

// The scripted bluetoothd (bluez_script.py) on a private bus of its own,
// run as a child process. start() points this process's system bus at it
// (DBUS_SYSTEM_BUS_ADDRESS), so it must come before anything here opens
// the system bus; Qt keeps that connection for the life of the process.
// Its steering interface is reached over a connection of its own.
class ScriptedBluez
{
public:
    ~ScriptedBluez() { stop(); }

    static QString script()
    {
        const QString dir = QProcessEnvironment::systemEnvironment().value(QStringLiteral("ARQ_SOURCE_DIR"),
                                                                           QStringLiteral(ARQ_DEFAULT_SOURCE_DIR));
        return dir + QStringLiteral("/tests/devices/ble/bluez_script.py");
    }

    // The Debian packages it runs on: dbus-daemon, python3-dbus, python3-gi.
    static bool available()
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-c"), QStringLiteral("import dbus, dbus.mainloop.glib; from gi.repository import GLib")});
        return QFileInfo::exists(QStringLiteral("/usr/bin/dbus-daemon")) && probe.waitForFinished(20000)
               && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    }

    // Starts bus and script (options as Configure's, NAME=VALUE); true once
    // org.bluez is owned. `exportAddress`: this process's system bus is the
    // private one from now on.
    bool start(const QStringList& options = {}, bool exportAddress = true, int timeoutMs = 20000)
    {
        m_Process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_Process.setArguments(QStringList{script(), QStringLiteral("--own-bus")} + options);
        m_Process.setProcessChannelMode(QProcess::SeparateChannels);
        m_Process.start();
        if (!m_Process.waitForStarted(timeoutMs))
            return false;
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (!out.contains("READY\n") && t.elapsed() < timeoutMs && m_Process.state() == QProcess::Running) {
            m_Process.waitForReadyRead(100);
            out += m_Process.readAllStandardOutput();
        }
        for (const QByteArray& line : out.split('\n'))
            if (line.startsWith("BUS "))
                m_Address = QString::fromUtf8(line.mid(4)).trimmed();
        if (!out.contains("READY\n") || m_Address.isEmpty())
            return false;
        if (exportAddress)
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_Address.toUtf8());
        m_Bus.reset(new QDBusConnection(QDBusConnection::connectToBus(m_Address, QStringLiteral("arq-bluez-script"))));
        // Steered at its unique name: org.bluez itself goes with a Vanish.
        if (m_Bus->isConnected() && m_Bus->interface())
            m_Owner = m_Bus->interface()->serviceOwner(QStringLiteral("org.bluez")).value();
        return m_Bus->isConnected() && !m_Owner.isEmpty();
    }

    void stop()
    {
        if (m_Process.state() == QProcess::Running) {
            call(QStringLiteral("Quit"), {});
            m_Process.closeWriteChannel(); // the script also ends at the end of its input
            if (!m_Process.waitForFinished(5000)) {
                m_Process.kill();
                m_Process.waitForFinished(2000);
            }
        }
        if (m_Bus) {
            m_Bus.reset();
            QDBusConnection::disconnectFromBus(QStringLiteral("arq-bluez-script"));
        }
    }

    QString address() const { return m_Address; }
    QString errors() { return QString::fromUtf8(m_Process.readAllStandardError()); }

    // A new script (every device forgotten, counters reset) with these options.
    bool configure(const QVariantMap& options = {})
    {
        return call(QStringLiteral("Configure"), {options}).type() == QDBusMessage::ReplyMessage;
    }
    // Options changed in place: the devices and counters stay.
    bool tune(const QVariantMap& options)
    {
        return call(QStringLiteral("Tune"), {options}).type() == QDBusMessage::ReplyMessage;
    }
    bool dropLink() { return call(QStringLiteral("DropLink"), {}).type() == QDBusMessage::ReplyMessage; }
    // The adapter unplugged; back with the next configure().
    bool removeAdapter() { return call(QStringLiteral("RemoveAdapter"), {}).type() == QDBusMessage::ReplyMessage; }
    // bluetoothd gone for `ms` (name released, objects dropped without a signal), then back.
    bool vanish(int ms)
    {
        return call(QStringLiteral("Vanish"), {QVariant::fromValue(uint(ms))}).type() == QDBusMessage::ReplyMessage;
    }
    bool forget(const QString& name)
    {
        const QDBusMessage m = call(QStringLiteral("Forget"), {name});
        return m.type() == QDBusMessage::ReplyMessage && m.arguments().value(0).toBool();
    }
    QVariantMap state()
    {
        const QDBusMessage m = call(QStringLiteral("State"), {});
        return m.type() == QDBusMessage::ReplyMessage ? qdbus_cast<QVariantMap>(m.arguments().value(0)) : QVariantMap();
    }
    QVariant state(const QString& key) { return state().value(key); }

    // Polls the script's state until `done` holds or the time is up, the event loop turning.
    bool waitFor(const std::function<bool(const QVariantMap&)>& done, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            if (done(state()))
                return true;
            if (t.elapsed() >= timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(20);
        }
    }

private:
    QDBusMessage call(const QString& method, const QVariantList& args)
    {
        if (!m_Bus || m_Owner.isEmpty())
            return QDBusMessage();
        QDBusMessage m = QDBusMessage::createMethodCall(m_Owner, QStringLiteral("/org/arq/script"),
                                                        QStringLiteral("org.arq.BluezScript1"), method);
        m.setArguments(args);
        return m_Bus->call(m, QDBus::Block, 5000);
    }

    QProcess m_Process;
    QString m_Address;
    QString m_Owner; // the script's unique bus name
    std::unique_ptr<QDBusConnection> m_Bus;
};

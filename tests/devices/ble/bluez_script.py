#!/usr/bin/python3
"""A scripted bluetoothd for tests: org.bluez on the bus named by
DBUS_SYSTEM_BUS_ADDRESS, with one powered adapter, a 5310A thermometer, a
foreign device and a 5310A that stops advertising after the first scan.

It answers as bluetoothd 5.66 (Debian 12) does where Qt Bluetooth looks:
the object tree under /, Adapter1 discovery (one session per D-Bus sender),
Device1 Connect (answered once the link is up; ServicesResolved follows) and
Disconnect, GattService1/GattCharacteristic1/GattDescriptor1 objects exported
on the first connection and kept after it (Cache=always: calls on them then
fail "Not connected"), ReadValue, WriteValue with its "type" option,
StartNotify/StopNotify per sender, and notifications as PropertiesChanged of
the characteristic's Value. Qt picks its D-Bus GATT backend from the daemon's
version: it runs the executable named first on the daemon's command line with
--version, so this script re-executes itself under its own name and prints
5.66 when asked.

The thermometer follows the commands of arq-simulator's 5310A: a command is
its body and the XOR of the body; 04050200 starts a 24-byte reading frame per
period, 04050101 stops; a bad checksum is recorded and ignored. A frame goes
out in two notifications (20 bytes and the rest) by default, whole, or two
frames in one notification, within the negotiated MTU.

Tests steer it through org.arq.BluezScript1 at /org/arq/script (kept out of
the object tree Qt reads): Configure(a{sv}), DropLink(), Forget(s),
Tune(a{sv}) (options changed in place), RemoveAdapter(), Vanish(u) (the daemon gone for that many ms, its bus name
released and its objects dropped without a signal, then back with a fresh
adapter), State() -> a{sv}, Quit(). The steering interface is reached at the
script's unique bus name, which outlives a Vanish.

With --own-bus it first starts a private bus (dbus-daemon --session) and
prints "BUS <address>": a client uses that address as its system bus
(DBUS_SYSTEM_BUS_ADDRESS). The daemon ends with the script, and the script
ends when its standard input closes, so a test that dies leaves nothing.
Prints READY once the bus name is owned. Options NAME=VALUE as Configure's.
"""

import os
import struct
import sys

VERSION = "5.66"

if len(sys.argv) > 1 and sys.argv[1] == "--version":
    print(VERSION)
    sys.exit(0)

if os.environ.get("ARQ_BLUEZ_SCRIPT_EXEC") != "1":
    os.environ["ARQ_BLUEZ_SCRIPT_EXEC"] = "1"
    me = os.path.abspath(__file__)
    os.execv(sys.executable, [me, me] + sys.argv[1:])

import random  # noqa: E402
import socket  # noqa: E402

import dbus  # noqa: E402
import dbus.mainloop.glib  # noqa: E402
import dbus.service  # noqa: E402
from gi.repository import GLib  # noqa: E402

OM = "org.freedesktop.DBus.ObjectManager"
PROPS = "org.freedesktop.DBus.Properties"
ADAPTER = "org.bluez.Adapter1"
DEVICE = "org.bluez.Device1"
SERVICE = "org.bluez.GattService1"
CHAR = "org.bluez.GattCharacteristic1"
DESC = "org.bluez.GattDescriptor1"
CONTROL = "org.arq.BluezScript1"
ADAPTER_PATH = "/org/bluez/hci0"

START = bytes.fromhex("04050200")
STOP = bytes.fromhex("04050101")


def uuid16(short):
    return "0000%s-0000-1000-8000-00805f9b34fb" % short


def ay(data):
    return dbus.Array([dbus.Byte(b) for b in data], signature="y")


def error(name, text):
    return dbus.exceptions.DBusException(text, name=name)


def xor(data):
    s = 0
    for b in data:
        s ^= b
    return s


def reading_frame(temperature, sequence, seconds):
    """17 05, sequence, channel, seconds (u32 BE), battery %, unit, a Pt100
    resistance (float BE), status, the temperature (float BE) in bytes 18-21,
    the XOR of bytes 0-21, 0x0D."""
    f = bytearray(24)
    f[0], f[1], f[2], f[3] = 0x17, 0x05, sequence & 0xFF, 0x01
    f[4:8] = struct.pack(">I", seconds & 0xFFFFFFFF)
    f[8], f[9] = 87, 0
    f[10:14] = struct.pack(">f", 100.0 * (1.0 + 0.00385 * temperature))
    f[14] = 0
    f[18:22] = struct.pack(">f", temperature)
    f[22] = xor(f[:22])
    f[23] = 0x0D
    return bytes(f)


# The thermometer's GATT table as arq-simulator has it: near misses
# (read|notify, read|write) before the characteristics a client wants.
GATT = [
    ("ffe0", [("ffe3", ["read", "notify"]), ("ffe4", ["notify"])]),
    ("ffe5", [("ffea", ["read", "write"]), ("ffe9", ["write-without-response", "write"])]),
]
# What "no services" leaves: a device of another kind.
OTHER_GATT = [("fff0", [("fff1", ["read", "notify"]), ("fff2", ["write"])])]


# Properties bluetoothd lets a client Set; every other one is read-only.
WRITABLE = {
    ADAPTER: {"Alias", "Powered", "Discoverable", "DiscoverableTimeout", "Pairable", "PairableTimeout"},
    DEVICE: {"Alias", "Trusted", "Blocked", "WakeAllowed"},
}


def failed(text):
    return error("org.bluez.Error.Failed", text)


def not_ready():
    return error("org.bluez.Error.NotReady", "Resource Not Ready")


def in_progress():
    return error("org.bluez.Error.InProgress", "Operation already in progress")


def flag(value):
    """A truth option, from a variant or a command-line text."""
    if isinstance(value, str):
        return value.strip().lower() not in ("", "0", "false", "no", "off")
    return bool(value)


class Obj(dbus.service.Object):
    """An object with properties per interface and PropertiesChanged."""

    def __init__(self, bus, path):
        self.path = path
        self.props = {}
        dbus.service.Object.__init__(self, bus, path)

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, iface, name):
        p = self.props.get(iface, {})
        if name not in p:
            raise error("org.freedesktop.DBus.Error.InvalidArgs", "No such property '%s'" % name)
        return p[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, iface):
        return dbus.Dictionary(self.props.get(iface, {}), signature="sv")

    @dbus.service.method(PROPS, in_signature="ssv", out_signature="")
    def Set(self, iface, name, value):
        if name not in self.props.get(iface, {}):
            raise error("org.freedesktop.DBus.Error.InvalidArgs", "No such property '%s'" % name)
        if name not in WRITABLE.get(iface, ()):
            raise error("org.freedesktop.DBus.Error.PropertyReadOnly", "Property '%s' is not writable" % name)
        self.set_property(iface, name, value)

    def set_property(self, iface, name, value):
        self.update(iface, {name: value})

    @dbus.service.signal(PROPS, signature="sa{sv}as")
    def PropertiesChanged(self, iface, changed, invalidated):
        pass

    def update(self, iface, changed, invalidated=()):
        p = self.props.setdefault(iface, {})
        changed = {k: v for k, v in changed.items() if p.get(k) != v or k == "Value"}
        p.update(changed)
        gone = [k for k in invalidated if k in p]
        for k in gone:
            del p[k]
        if changed or gone:
            self.PropertiesChanged(iface, dbus.Dictionary(changed, signature="sv"), dbus.Array(gone, signature="s"))


class Root(dbus.service.Object):
    def __init__(self, bus, script):
        self.script = script
        dbus.service.Object.__init__(self, bus, "/")

    @dbus.service.method(OM, out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        out = {}
        for path, obj in self.script.objects.items():
            out[dbus.ObjectPath(path)] = dbus.Dictionary(
                {i: dbus.Dictionary(p, signature="sv") for i, p in obj.props.items()}, signature="sa{sv}")
        return out

    @dbus.service.signal(OM, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OM, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass


class Manager(Obj):
    """/org/bluez: the agent and profile managers bluetoothd lists."""

    def __init__(self, bus):
        Obj.__init__(self, bus, "/org/bluez")
        self.props = {"org.bluez.AgentManager1": {}, "org.bluez.ProfileManager1": {}}


class Adapter(Obj):
    def __init__(self, bus, script):
        Obj.__init__(self, bus, ADAPTER_PATH)
        self.script = script
        self.props = {ADAPTER: {
            "Address": dbus.String("00:1A:7D:DA:71:13"),
            "AddressType": dbus.String("public"),
            "Name": dbus.String("labpc"),
            "Alias": dbus.String("labpc"),
            "Class": dbus.UInt32(0x7C010C),
            "Powered": dbus.Boolean(True),
            "PowerState": dbus.String("on"),
            "Discoverable": dbus.Boolean(False),
            "DiscoverableTimeout": dbus.UInt32(180),
            "Pairable": dbus.Boolean(True),
            "PairableTimeout": dbus.UInt32(0),
            "Discovering": dbus.Boolean(False),
            "UUIDs": dbus.Array([uuid16("1800"), uuid16("1801"), uuid16("180a")], signature="s"),
            "Modalias": dbus.String("usb:v1D6Bp0246d0542"),
            "Roles": dbus.Array(["central", "peripheral"], signature="s"),
            "ExperimentalFeatures": dbus.Array([], signature="s"),
        }}

    def set_property(self, iface, name, value):
        if name == "Powered":
            self.script.set_powered(bool(value))
        else:
            self.update(iface, {name: value})

    # Discovery is kept per client (D-Bus sender); the adapter scans while any has a session.
    @dbus.service.method(ADAPTER, in_signature="", out_signature="", sender_keyword="sender")
    def StartDiscovery(self, sender=None):
        s = self.script
        if not s.powered():
            raise not_ready()
        if sender in s.discovery_clients:
            raise in_progress()
        s.discovery_clients.add(sender)
        s.watch(sender, lambda: s.discovery_client_gone(sender))
        if not s.discovering:
            s.start_discovery()

    @dbus.service.method(ADAPTER, in_signature="", out_signature="", sender_keyword="sender")
    def StopDiscovery(self, sender=None):
        s = self.script
        if not s.powered():
            raise not_ready()
        if sender not in s.discovery_clients:
            raise failed("No discovery started")
        s.discovery_client_gone(sender)

    @dbus.service.method(ADAPTER, in_signature="a{sv}", out_signature="")
    def SetDiscoveryFilter(self, filter_):
        if not self.script.powered():
            raise not_ready()
        self.script.filter = dict(filter_)

    @dbus.service.method(ADAPTER, in_signature="", out_signature="as")
    def GetDiscoveryFilters(self):
        return ["UUIDs", "RSSI", "Pathloss", "Transport", "DuplicateData", "Discoverable", "Pattern"]

    @dbus.service.method(ADAPTER, in_signature="o", out_signature="")
    def RemoveDevice(self, path):
        dev = self.script.devices.get(str(path))
        if dev is None:
            raise error("org.bluez.Error.DoesNotExist", "Does Not Exist")
        if not self.script.powered():
            raise not_ready()
        if dev.connected():
            dev.link_down()
        self.script.remove_device(dev)


class Device(Obj):
    def __init__(self, bus, script, peer):
        path = ADAPTER_PATH + "/dev_" + peer["address"].replace(":", "_")
        Obj.__init__(self, bus, path)
        self.script = script
        self.peer = peer
        self.gatt = []  # objects under this device, exported on the first connection
        self.connecting = False
        self.cancel = None
        # bluetoothd forgets a temporary device; one asked to connect is kept.
        self.temporary = True
        self.last_seen = GLib.get_monotonic_time()
        thermometer = peer["kind"] == "thermometer"
        self.props = {DEVICE: {
            "Address": dbus.String(peer["address"]),
            "AddressType": dbus.String(script.options["address_type"] if thermometer else "public"),
            "Name": dbus.String(peer["name"]),
            "Alias": dbus.String(peer["name"]),
            "Paired": dbus.Boolean(False),
            "Trusted": dbus.Boolean(False),
            "Blocked": dbus.Boolean(False),
            "LegacyPairing": dbus.Boolean(False),
            "Connected": dbus.Boolean(False),
            "UUIDs": dbus.Array([uuid16(s) for s in peer["advertised"]], signature="s"),
            "Adapter": dbus.ObjectPath(ADAPTER_PATH),
            "ServicesResolved": dbus.Boolean(False),
            "AdvertisingFlags": ay(b"\x06"),
        }}
        if thermometer and int(script.options["class"]) > 0:
            # A dual-mode device: LE-only ones have no Class.
            self.props[DEVICE]["Class"] = dbus.UInt32(int(script.options["class"]))

    def connected(self):
        return bool(self.props[DEVICE]["Connected"])

    @dbus.service.method(DEVICE, in_signature="", out_signature="", async_callbacks=("ok", "fail"))
    def Connect(self, ok, fail):
        s = self.script
        s.connects += 1
        if not s.powered():
            raise not_ready()
        if self.connected():
            ok()  # already connected over LE: nothing to do
            return
        if self.connecting:
            raise error("org.bluez.Error.InProgress", "In Progress")
        self.connecting = True
        self.temporary = False
        mode = s.options["connect"] if self.peer["kind"] == "thermometer" else "ok"

        def aborted():
            self.connecting = False
            self.cancel = None
            fail(failed("le-connection-abort-by-local"))
        self.cancel = aborted

        def refused():
            if self.connecting:
                aborted()

        def link_up():
            if not self.connecting:
                return
            self.connecting = False
            self.cancel = None
            self.update(DEVICE, {"Connected": dbus.Boolean(True)})
            # bluetoothd answers once the ATT channel is up; the services
            # are resolved afterwards.
            ok()
            if mode == "drop":
                # The link goes while the services are read.
                s.later(100, lambda: self.link_down() if self.connected() else None)
                return
            s.step("services", self.resolve, self)

        if mode == "refuse":
            s.later(200, refused)
        elif not s.reachable(self.peer):
            # Nothing answers the connection request: the kernel gives up
            # after its LE connection time-out.
            s.later(int(s.options["le_timeout_ms"]), refused)
        else:
            s.step("connect", lambda: s.later(int(s.options["connect_ms"]), link_up), self)

    @dbus.service.method(DEVICE, in_signature="", out_signature="")
    def Disconnect(self):
        self.script.disconnects += 1
        if self.connecting and self.cancel:
            # A connection under way is called off and its Connect fails.
            self.cancel()
        if self.connected():
            self.link_down()

    @dbus.service.method(DEVICE, in_signature="", out_signature="")
    def Pair(self):
        raise error("org.bluez.Error.AuthenticationFailed", "Authentication Failed")

    def resolve(self):
        s = self.script
        if not self.connected() or self.props[DEVICE]["ServicesResolved"]:
            return
        if not self.gatt:
            self.export_gatt()
        # MTU exchange: bluetoothd offers ExchangeMTU (517), the device its own.
        s.mtu = max(23, min(517, int(s.options["mtu"])))
        for obj in self.gatt:
            if isinstance(obj, Characteristic):
                obj.update(CHAR, {"MTU": dbus.UInt16(s.mtu)})
                obj.linked()
        self.update(DEVICE, {"ServicesResolved": dbus.Boolean(True)})
        after = int(s.options["drop_after_ms"])
        if after >= 0 and self.peer["kind"] == "thermometer":
            s.later(after, lambda: self.link_down() if self.connected() else None)

    def export_gatt(self):
        s = self.script
        table = GATT if s.options["services"] == "full" else OTHER_GATT
        if table is GATT and flag(s.options["command_char"]):
            table = GATT[:1] + [(GATT[1][0], GATT[1][1] + [("ffeb", ["write-without-response"])])]
        handle = 0x000A
        for short, chars in table:
            svc = GattObj(s.bus, self, "%s/service%04x" % (self.path, handle), {SERVICE: {
                "UUID": dbus.String(uuid16(short)),
                "Device": dbus.ObjectPath(self.path),
                "Primary": dbus.Boolean(True),
                "Includes": dbus.Array([], signature="o"),
            }})
            self.add(svc)
            handle += 1
            for cshort, flags in chars:
                ch = Characteristic(s.bus, s, self, "%s/char%04x" % (svc.path, handle), svc.path,
                                    uuid16(cshort), flags)
                self.add(ch)
                handle += 2
                if "notify" in flags:
                    self.add(GattObj(s.bus, self, "%s/desc%04x" % (ch.path, handle), {DESC: {
                        "UUID": dbus.String(uuid16("2902")),
                        "Characteristic": dbus.ObjectPath(ch.path),
                        "Value": ay(b""),
                    }}, owner=ch))
                    handle += 1

    def add(self, obj):
        self.gatt.append(obj)
        self.script.add_object(obj)

    def link_down(self):
        """bluetoothd on a lost or closed link (Cache=always): the services
        resolved flag and the link go; the GATT objects stay, their
        notification sessions and MTU fall back without a signal, and
        operations under way fail."""
        s = self.script
        s.stop_measuring()
        s.fail_held(self)
        if self.props[DEVICE]["ServicesResolved"]:
            self.update(DEVICE, {"ServicesResolved": dbus.Boolean(False)})
        self.update(DEVICE, {"Connected": dbus.Boolean(False)})
        for obj in self.gatt:
            if isinstance(obj, Characteristic):
                obj.unlinked()
        self.last_seen = GLib.get_monotonic_time()
        s.schedule_expiry(self)

    def characteristic(self, short):
        for obj in self.gatt:
            if isinstance(obj, Characteristic) and obj.uuid == uuid16(short):
                return obj
        return None


class GattObj(Obj):
    def __init__(self, bus, dev, path, props, owner=None):
        Obj.__init__(self, bus, path)
        self.dev = dev
        self.props = props
        self.owner = owner

    @dbus.service.method(DESC, in_signature="a{sv}", out_signature="ay", async_callbacks=("ok", "fail"))
    def ReadValue(self, options, ok, fail):
        if not self.dev.connected():
            raise failed("Not connected")
        value = b"\x01\x00" if self.owner is not None and self.owner.notifying() else b"\x00\x00"
        self.dev.script.step("read", lambda: ok(ay(value)), self.dev, lambda: fail(failed("Operation failed")))

    @dbus.service.method(DESC, in_signature="aya{sv}", out_signature="")
    def WriteValue(self, value, options):
        # bluetoothd keeps the client configuration to itself.
        raise error("org.bluez.Error.NotPermitted", "Write not permitted")


class Characteristic(Obj):
    def __init__(self, bus, script, dev, path, service, uuid, flags):
        Obj.__init__(self, bus, path)
        self.script = script
        self.dev = dev
        self.uuid = uuid
        self.flags = flags
        self.clients = set()      # senders with a notification session
        self.registering = set()  # senders whose StartNotify is under way
        self.write_pending = False
        p = {
            "UUID": dbus.String(uuid),
            "Service": dbus.ObjectPath(service),
            "Value": ay(b""),
            "Flags": dbus.Array(flags, signature="s"),
            "MTU": dbus.UInt16(23),
        }
        if "notify" in flags:
            p["Notifying"] = dbus.Boolean(False)
            p["NotifyAcquired"] = dbus.Boolean(False)
        if "write-without-response" in flags:
            p["WriteAcquired"] = dbus.Boolean(False)
        self.props = {CHAR: p}

    def short(self):
        return self.uuid[4:8]

    def fault(self, option):
        """The fault `option` names for this characteristic ("ffe3:NotPermitted,ffea:Failed"), or None."""
        for item in str(self.script.options[option]).split(","):
            short, _, kind = item.strip().partition(":")
            if short == self.short():
                return kind or "Failed"
        return None

    def notifying(self):
        return bool(self.props[CHAR].get("Notifying", False))

    def linked(self):
        # Sessions registered before or across a disconnection are set up again.
        if self.clients and "Notifying" in self.props[CHAR]:
            self.update(CHAR, {"Notifying": dbus.Boolean(True)})

    def unlinked(self):
        if "Notifying" in self.props[CHAR]:
            self.props[CHAR]["Notifying"] = dbus.Boolean(False)
        self.props[CHAR]["MTU"] = dbus.UInt16(23)
        self.write_pending = False
        self.registering.clear()

    @dbus.service.method(CHAR, in_signature="a{sv}", out_signature="ay", async_callbacks=("ok", "fail"))
    def ReadValue(self, options, ok, fail):
        if not self.dev.connected():
            raise failed("Not connected")

        def done():
            kind = self.fault("read_fail") or ("" if "read" in self.flags else "NotPermitted")
            if kind == "NotPermitted":
                fail(error("org.bluez.Error.NotPermitted", "Read not permitted"))
            elif kind:
                fail(failed("Operation failed with ATT error: 0x0e"))
            else:
                # The value read is stored, and the change signalled, before the reply.
                value = self.props[CHAR]["Value"]
                self.update(CHAR, {"Value": value})
                ok(value)
        self.script.step("read", done, self.dev, lambda: fail(failed("Operation failed")))

    @dbus.service.method(CHAR, in_signature="aya{sv}", out_signature="", async_callbacks=("ok", "fail"))
    def WriteValue(self, value, options, ok, fail):
        s = self.script
        if not self.dev.connected():
            raise failed("Not connected")
        if self.write_pending:
            raise in_progress()
        kind = str(options.get("type", ""))
        request = kind == "request" or (kind == "" and "write" in self.flags)
        command = kind == "command" or (kind == "" and not request and "write-without-response" in self.flags)
        if not request and not command:
            raise error("org.bluez.Error.NotSupported", "Operation is not supported")
        data = bytes(value)
        s.write_types.append(kind or "default")
        if command:
            # A write command has no response: answered once sent.
            if self.fault("write_fail"):
                raise failed("Failed to initiate write")
            s.command(self, data)
            return ok()
        self.write_pending = True

        def done():
            self.write_pending = False
            if self.fault("write_fail"):
                fail(error("org.bluez.Error.NotPermitted", "Write not permitted"))
                return
            s.command(self, data)
            ok()

        def lost():
            self.write_pending = False
            fail(failed("Operation failed"))
        s.step("write", done, self.dev, lost)

    @dbus.service.method(CHAR, in_signature="", out_signature="", sender_keyword="sender",
                         async_callbacks=("ok", "fail"))
    def StartNotify(self, ok, fail, sender=None):
        if "notify" not in self.flags and "indicate" not in self.flags:
            raise error("org.bluez.Error.NotSupported", "Operation is not supported")
        s = self.script
        if sender in self.registering:
            raise in_progress()
        if sender in self.clients and (self.notifying() or not self.dev.connected()):
            ok()  # each client has one session
            return
        s.watch(sender, lambda: self.client_gone(sender))
        if not self.dev.connected():
            # Registered now, set up when the device connects.
            self.clients.add(sender)
            ok()
            return
        self.registering.add(sender)

        def done():
            self.registering.discard(sender)
            self.clients.add(sender)
            self.update(CHAR, {"Notifying": dbus.Boolean(True)})
            s.tick_maybe()
            ok()

        def lost():
            self.registering.discard(sender)
            fail(failed("Operation failed"))
        s.step("notify", done, self.dev, lost)

    @dbus.service.method(CHAR, in_signature="", out_signature="", sender_keyword="sender")
    def StopNotify(self, sender=None):
        if sender not in self.clients:
            raise failed("No notify session started")
        self.client_gone(sender)

    def client_gone(self, sender):
        self.clients.discard(sender)
        if not self.clients and self.notifying():
            self.update(CHAR, {"Notifying": dbus.Boolean(False)})

    def notify(self, data):
        # A notification carries at most MTU - 3 bytes.
        self.update(CHAR, {"Value": ay(data[:self.script.mtu - 3])})


class Control(dbus.service.Object):
    def __init__(self, bus, script):
        self.script = script
        dbus.service.Object.__init__(self, bus, "/org/arq/script")

    @dbus.service.method(CONTROL, in_signature="a{sv}", out_signature="")
    def Configure(self, options):
        self.script.configure(dict(options))

    @dbus.service.method(CONTROL, in_signature="a{sv}", out_signature="")
    def Tune(self, options):
        self.script.set_options(dict(options))

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def DropLink(self):
        dev = self.script.thermometer()
        if dev is not None and dev.connected():
            dev.link_down()

    @dbus.service.method(CONTROL, in_signature="s", out_signature="b")
    def Forget(self, name):
        for dev in list(self.script.devices.values()):
            if dev.peer["name"] == name and not dev.connected():
                self.script.remove_device(dev)
                return True
        return False

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def RemoveAdapter(self):
        self.script.remove_adapter()

    @dbus.service.method(CONTROL, in_signature="u", out_signature="")
    def Vanish(self, ms):
        self.script.vanish(int(ms))

    @dbus.service.method(CONTROL, in_signature="", out_signature="a{sv}")
    def State(self):
        return dbus.Dictionary(self.script.state(), signature="sv")

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def Quit(self):
        GLib.idle_add(self.script.loop.quit)


DEFAULTS = {
    "connect": "ok",         # ok | refuse | drop (the link goes while the services are read)
    "services": "full",      # full | none (a device without the thermometer's services)
    "connect_ms": 100,
    "drop_after_ms": -1,     # the link goes this long after the services are resolved (-1: never)
    "drop_after_frames": 0,  # the link goes once after this many frames (0: never)
    "silent": False,         # measuring, but no frame goes out
    "le_timeout_ms": 20000,  # a connection to a device out of reach fails after this
    "reachable": True,       # false: the thermometer neither advertises nor answers a connection
    "period_ms": 250,        # one reading frame per period while measuring
    "frames": "split",       # split (first_part bytes, then the rest) | one (whole) | double (two frames a notification)
    "first_part": 20,        # bytes of the first notification of a split frame
    "mtu": 247,              # the device's ATT MTU; the exchange gives min(517, mtu)
    "readings": [25.125, 25.25, 25.375, 25.5],
    "garbage": 0,            # frames of another kind sent before the readings
    "temporary_ms": 30000,   # an unconnected device is forgotten this long after a scan
    "stall": "",             # connect | services | read | notify | write: that step's reply is held
    "stall_ms": 0,
    "read_fail": "",         # ffe3:NotPermitted,ffea:Failed: ReadValue of those characteristics fails
    "write_fail": "",        # ffeb,...: writes to those characteristics fail
    "command_char": False,   # a write-without-response characteristic ffeb in service FFE5
    "powered": True,
    "stuck_discovering": False,  # Discovering stays true after the last StopDiscovery
    "address_type": "public",    # public | random
    "class": 0,              # a Class of Device for the thermometer (0: none, as LE-only devices)
    "follow": "",            # HOST:PORT of a dry block whose READ? the readings follow
}


class Script:
    def __init__(self, bus, loop):
        self.bus = bus
        self.loop = loop
        self.objects = {}   # path -> Obj in the object tree
        self.devices = {}   # path -> Device
        self.discovering = False
        self.discovery_clients = set()
        self.watches = {}   # sender -> (name watch, callbacks)
        self.scans = 0
        self.filter = {}
        self.options = dict(DEFAULTS)
        self.peers = []
        self.held = []
        self.mtu = 23
        self.name = None
        self.reset_counters()
        self.timers = []
        self.rssi_timer = None
        self.control = Control(bus, self)
        self.follow_socket = None
        self.build_tree()
        self.configure({})

    def build_tree(self):
        self.root = Root(self.bus, self)
        self.add_object(Manager(self.bus), announce=False)
        self.adapter = Adapter(self.bus, self)
        self.add_object(self.adapter, announce=False)

    def own_name(self):
        self.name = dbus.service.BusName("org.bluez", self.bus, do_not_queue=True)

    def reset_counters(self):
        self.connects = 0
        self.disconnects = 0
        self.writes = []
        self.write_types = []
        self.frames = 0
        self.measuring = False
        self.sequence = 0
        self.reading_index = 0
        self.stalled = ""
        self.tick_id = None
        self.clock = GLib.get_monotonic_time()

    def configure(self, options):
        for dev in list(self.devices.values()):
            if dev.connected():
                dev.link_down()
            self.remove_device(dev)
        for t in self.timers:
            GLib.source_remove(t)
        self.timers = []
        self.held = []
        self.options = dict(DEFAULTS)
        self.set_options(options)
        self.scans = 0
        if self.discovering:
            self.discovery_clients.clear()
            self.stop_discovery(force=True)
        self.discovery_clients.clear()
        self.stop_measuring()
        self.reset_counters()
        if self.adapter is None and self.name is not None:
            # A new script after RemoveAdapter: the adapter is plugged in again.
            self.adapter = Adapter(self.bus, self)
            self.add_object(self.adapter)
        if self.adapter is not None:
            self.set_powered(self.options["powered"])
        if self.follow_socket:
            self.follow_socket.close()
            self.follow_socket = None
        # advertising: in how many scans from the first the peer is heard (0: always)
        self.peers = [
            {"kind": "thermometer", "name": "5310A-00123", "address": "C0:53:10:00:01:23",
             "advertised": ["ffe0"], "scans": 0},
            {"kind": "foreign", "name": "Thermo-X", "address": "F0:53:10:00:00:01",
             "advertised": ["180f"], "scans": 0},
            {"kind": "fading", "name": "5310A-00456", "address": "C0:53:10:00:04:56",
             "advertised": ["ffe0"], "scans": 1},
        ]

    def set_options(self, options):
        for k, v in options.items():
            if k not in DEFAULTS:
                raise error("org.freedesktop.DBus.Error.InvalidArgs", "unknown option " + k)
            kind = type(DEFAULTS[k])
            if k == "readings":
                self.options[k] = [float(x) for x in v]
            elif kind is bool:
                self.options[k] = flag(v)
            else:
                self.options[k] = kind(v)

    # ---- clients on the bus
    def watch(self, sender, gone):
        """Calls `gone` once `sender` leaves the bus, as bluetoothd ends its sessions."""
        if not sender:
            return
        entry = self.watches.get(sender)
        if entry is None:
            callbacks = []

            def owner_changed(owner):
                if owner == "" and sender in self.watches:
                    w, cbs = self.watches.pop(sender)
                    for cb in cbs:
                        cb()
                    GLib.idle_add(lambda: w.cancel() and False)
            entry = (self.bus.watch_name_owner(sender, owner_changed), callbacks)
            self.watches[sender] = entry
        entry[1].append(gone)

    def discovery_client_gone(self, sender):
        if sender in self.discovery_clients:
            self.discovery_clients.discard(sender)
            if not self.discovery_clients and self.discovering:
                self.stop_discovery()

    # ---- the adapter
    def powered(self):
        return self.adapter is not None and bool(self.adapter.props[ADAPTER]["Powered"])

    def set_powered(self, on):
        if not on:
            self.discovery_clients.clear()
            if self.discovering:
                self.stop_discovery(force=True)
            for dev in self.devices.values():
                if dev.connected():
                    dev.link_down()
        self.adapter.update(ADAPTER, {"Powered": dbus.Boolean(on), "PowerState": dbus.String("on" if on else "off")})

    def remove_adapter(self):
        """The adapter unplugged: its devices go, then the adapter itself."""
        if self.adapter is None:
            return
        self.discovery_clients.clear()
        if self.discovering:
            self.stop_discovery(force=True)
        for dev in list(self.devices.values()):
            if dev.connected():
                dev.link_down()
            self.remove_device(dev)
        self.remove_object(self.adapter)
        self.adapter = None

    def vanish(self, ms):
        """bluetoothd killed: the bus name is released and every object
        goes without a signal; after `ms` a new daemon owns the name with a
        fresh adapter and no devices."""
        for t in self.timers:
            GLib.source_remove(t)
        self.timers = []
        self.held = []
        self.stop_measuring()
        if self.rssi_timer is not None:
            GLib.source_remove(self.rssi_timer)
            self.rssi_timer = None
        self.discovering = False
        self.discovery_clients.clear()
        self.name = None  # releases org.bluez
        for obj in list(self.objects.values()):
            obj.remove_from_connection()
        self.root.remove_from_connection()
        self.objects = {}
        self.devices = {}
        self.adapter = None

        def back():
            self.build_tree()
            self.set_powered(self.options["powered"])
            self.own_name()
            return False
        GLib.timeout_add(max(1, ms), back)

    # ---- the object tree
    def add_object(self, obj, announce=True):
        self.objects[obj.path] = obj
        if announce:
            self.root.InterfacesAdded(dbus.ObjectPath(obj.path), dbus.Dictionary(
                {i: dbus.Dictionary(p, signature="sv") for i, p in obj.props.items()}, signature="sa{sv}"))

    def remove_object(self, obj):
        if self.objects.pop(obj.path, None) is None:
            return
        self.root.InterfacesRemoved(dbus.ObjectPath(obj.path), dbus.Array(list(obj.props.keys()), signature="s"))
        obj.remove_from_connection()

    def remove_device(self, dev):
        for obj in reversed(dev.gatt):
            self.remove_object(obj)
        dev.gatt = []
        self.devices.pop(dev.path, None)
        self.remove_object(dev)

    def thermometer(self):
        for dev in self.devices.values():
            if dev.peer["kind"] == "thermometer":
                return dev
        return None

    def later(self, ms, fn):
        def run():
            if tid in self.timers:
                self.timers.remove(tid)
            fn()
            return False
        tid = GLib.timeout_add(ms, run)
        self.timers.append(tid)
        return tid

    # ---- discovery
    def heard(self):
        return [p for p in self.peers if p["scans"] == 0 or self.scans <= p["scans"]]

    def reachable(self, peer):
        if peer["kind"] == "thermometer":
            return flag(self.options["reachable"])
        return peer in self.heard()

    def start_discovery(self):
        self.discovering = True
        self.scans += 1
        self.adapter.update(ADAPTER, {"Discovering": dbus.Boolean(True)})
        self.later(50, self.advertise)
        self.rssi_timer = GLib.timeout_add(300, self.advertise)

    def advertise(self):
        if not self.discovering:
            return False
        for peer in self.heard():
            if not self.reachable(peer):
                continue
            rssi = dbus.Int16(random.randint(-75, -45))
            path = ADAPTER_PATH + "/dev_" + peer["address"].replace(":", "_")
            dev = self.devices.get(path)
            if dev is None:
                dev = Device(self.bus, self, peer)
                dev.props[DEVICE]["RSSI"] = rssi
                self.devices[path] = dev
                self.add_object(dev)
            else:
                dev.update(DEVICE, {"RSSI": rssi})
            dev.last_seen = GLib.get_monotonic_time()
        return True

    def stop_discovery(self, force=False):
        self.discovering = False
        if self.rssi_timer is not None:
            GLib.source_remove(self.rssi_timer)
            self.rssi_timer = None
        # bluetoothd drops the signal strength of every device once the scan
        # ends and forgets unconnected, unpaired ones after a while.
        for dev in list(self.devices.values()):
            dev.update(DEVICE, {}, ["RSSI"])
            self.schedule_expiry(dev)
        if self.adapter is not None and (force or not flag(self.options["stuck_discovering"])):
            self.adapter.update(ADAPTER, {"Discovering": dbus.Boolean(False)})

    def schedule_expiry(self, dev):
        """Forgets `dev` once it has been neither heard nor connected for temporary_ms."""
        ms = int(self.options["temporary_ms"])
        since = GLib.get_monotonic_time()

        def expire():
            if dev.path not in self.devices or not dev.temporary or dev.connected() or dev.connecting \
                    or self.discovering:
                return
            if dev.last_seen > since:
                self.schedule_expiry(dev)  # heard again meanwhile: counts from then
                return
            self.remove_device(dev)
        self.later(ms, expire)

    # ---- steps that a test may hold up
    def step(self, name, fn, dev=None, lost=None):
        """Runs `fn` now, or after stall_ms when the test holds this step;
        a held step of a device whose link goes calls `lost` instead."""
        if self.options["stall"] == name and self.options["stall_ms"] > 0:
            self.stalled = name
            held = {"dev": dev, "lost": lost}

            def release():
                if held in self.held:
                    self.held.remove(held)
                self.stalled = ""
                fn()
            held["timer"] = self.later(int(self.options["stall_ms"]), release)
            self.held.append(held)
        else:
            fn()

    def fail_held(self, dev):
        for held in [h for h in self.held if h["dev"] is dev]:
            self.held.remove(held)
            if held["timer"] in self.timers:
                self.timers.remove(held["timer"])
                GLib.source_remove(held["timer"])
            self.stalled = ""
            if held["lost"]:
                held["lost"]()

    # ---- the thermometer
    def command(self, ch, data):
        good = len(data) >= 2 and xor(data[:-1]) == data[-1]
        self.writes.append(data.hex() + ("" if good else " (bad checksum)"))
        if not good or ch.uuid != uuid16("ffe9"):
            return
        body = data[:-1]
        if body == START:
            self.measuring = True
            self.tick_maybe()
        elif body == STOP:
            self.stop_measuring()

    def stop_measuring(self):
        self.measuring = False
        if self.tick_id is not None:
            GLib.source_remove(self.tick_id)
            self.tick_id = None

    def tick_maybe(self):
        if self.measuring and self.tick_id is None:
            self.tick_id = GLib.timeout_add(int(self.options["period_ms"]), self.tick)

    def temperature(self):
        follow = self.options["follow"]
        if follow:
            try:
                if self.follow_socket is None:
                    host, port = follow.rsplit(":", 1)
                    self.follow_socket = socket.create_connection((host, int(port)), timeout=2)
                    self.follow_file = self.follow_socket.makefile("rb")
                self.follow_socket.sendall(b"READ?\r\n")
                return float(self.follow_file.readline().strip())
            except (OSError, ValueError):
                if self.follow_socket:
                    self.follow_socket.close()
                self.follow_socket = None
                return None
        readings = self.options["readings"]
        value = readings[self.reading_index % len(readings)]
        self.reading_index += 1
        return value

    def tick(self):
        dev = self.thermometer()
        ch = dev.characteristic("ffe4") if dev is not None and dev.connected() else None
        if not self.measuring or ch is None:
            self.tick_id = None
            return False
        if not ch.notifying() or flag(self.options["silent"]):
            return True
        if self.options["garbage"] > 0:
            self.options["garbage"] -= 1
            frame = bytearray(reading_frame(0.0, self.sequence, 0))
            frame[0], frame[1] = 0x16, 0x02
            frame = bytes(frame)
        else:
            t = self.temperature()
            if t is None:
                return True
            seconds = (GLib.get_monotonic_time() - self.clock) // 1000000
            frame = reading_frame(t, self.sequence, seconds)
        self.sequence = (self.sequence + 1) & 0xFF
        mode = self.options["frames"]
        if mode == "one":
            ch.notify(frame)
        elif mode == "double":
            # Two frames back to back in one notification (the next reading).
            t = self.temperature()
            seconds = (GLib.get_monotonic_time() - self.clock) // 1000000
            second = reading_frame(t if t is not None else 0.0, self.sequence, seconds)
            self.sequence = (self.sequence + 1) & 0xFF
            ch.notify(frame + second)
            self.frames += 1
        else:
            cut = max(1, min(len(frame) - 1, int(self.options["first_part"])))
            ch.notify(frame[:cut])
            ch.notify(frame[cut:])
        self.frames += 1
        if self.frames == int(self.options["drop_after_frames"]):
            GLib.idle_add(lambda: dev.link_down() if dev.connected() else None)
        return True

    def state(self):
        dev = self.thermometer()
        ch = dev.characteristic("ffe4") if dev is not None else None
        return {
            "connected": dbus.Boolean(dev is not None and dev.connected()),
            "known": dbus.Array([d.peer["name"] for d in self.devices.values()], signature="s"),
            "notifying": dbus.Boolean(ch is not None and ch.notifying()),
            "measuring": dbus.Boolean(self.measuring),
            "writes": dbus.Array(self.writes, signature="s"),
            "frames": dbus.Int32(self.frames),
            "connects": dbus.Int32(self.connects),
            "disconnects": dbus.Int32(self.disconnects),
            "discovering": dbus.Boolean(self.discovering),
            "scans": dbus.Int32(self.scans),
            "stalled": dbus.String(self.stalled),
            "write_types": dbus.Array(self.write_types, signature="s"),
            "mtu": dbus.Int32(self.mtu),
            "discovery_clients": dbus.Int32(len(self.discovery_clients)),
            "notify_clients": dbus.Int32(len(ch.clients) if ch is not None else 0),
            "adapter": dbus.Boolean(self.adapter is not None),
            "owned": dbus.Boolean(self.name is not None),
            "filter": dbus.String(str(self.filter.get("Transport", ""))),
        }


def own_bus():
    """A private dbus-daemon that dies with this process."""
    import ctypes
    import signal
    import subprocess
    libc = ctypes.CDLL(None, use_errno=True)

    def die_with_parent():
        libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG

    daemon = subprocess.Popen(["dbus-daemon", "--session", "--print-address", "--nofork"],
                              stdout=subprocess.PIPE, preexec_fn=die_with_parent)
    address = daemon.stdout.readline().decode().strip()
    if not address:
        sys.exit("dbus-daemon gave no address")
    os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = address
    print("BUS " + address, flush=True)
    return daemon


def main():
    daemon = None
    args = sys.argv[1:]
    if "--own-bus" in args:
        args.remove("--own-bus")
        daemon = own_bus()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    loop = GLib.MainLoop()
    # Ends with the end of its input (the test that started it).
    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR,
                      lambda fd, cond: stdin_event(fd, loop))
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, lambda: loop.quit() or False)
    script = Script(bus, loop)
    script.own_name()
    options = {}
    for arg in args:
        if "=" in arg:
            k, v = arg.split("=", 1)
            options[k] = v.split(",") if k == "readings" else v
    if options:
        script.configure(options)
    print("READY", flush=True)
    loop.run()
    script.name = None
    if daemon is not None:
        daemon.terminate()
        daemon.wait()


def stdin_event(fd, loop):
    if not os.read(fd, 4096):
        loop.quit()
        return False
    return True


if __name__ == "__main__":
    main()

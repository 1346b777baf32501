#!/usr/bin/python3
"""A scripted bluetoothd for tests: org.bluez on the bus named by
DBUS_SYSTEM_BUS_ADDRESS, with one powered adapter, a 5310A thermometer, a
foreign device and a 5310A that stops advertising after the first scan.

It answers as bluetoothd 5.66 (Debian 12) does where Qt Bluetooth looks:
the object tree under /, Adapter1 discovery, Device1 Connect/Disconnect with
Connected and ServicesResolved, GattService1/GattCharacteristic1/
GattDescriptor1 objects that appear on connection and go on disconnection,
StartNotify/StopNotify, WriteValue, and notifications as PropertiesChanged of
the characteristic's Value. Qt picks its D-Bus GATT backend from the daemon's
version: it runs the executable named first on the daemon's command line with
--version, so this script re-executes itself under its own name and prints
5.66 when asked.

The thermometer follows the commands of arq-simulator's 5310A: a command is
its body and the XOR of the body; 04050200 starts a 24-byte reading frame per
period, 04050101 stops; a bad checksum is recorded and ignored. Every frame
goes out in two notifications (20 bytes and the rest by default).

Tests steer it through org.arq.BluezScript1 at /org/arq/script (kept out of
the object tree Qt reads): Configure(a{sv}), DropLink(), Forget(s),
State() -> a{sv}, Quit().

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

    @dbus.service.method(ADAPTER, in_signature="", out_signature="")
    def StartDiscovery(self):
        if self.script.discovering:
            raise error("org.bluez.Error.InProgress", "Operation already in progress")
        self.script.start_discovery()

    @dbus.service.method(ADAPTER, in_signature="", out_signature="")
    def StopDiscovery(self):
        if not self.script.discovering:
            raise error("org.bluez.Error.Failed", "No discovery started")
        self.script.stop_discovery()

    @dbus.service.method(ADAPTER, in_signature="a{sv}", out_signature="")
    def SetDiscoveryFilter(self, filter_):
        self.script.filter = dict(filter_)

    @dbus.service.method(ADAPTER, in_signature="", out_signature="as")
    def GetDiscoveryFilters(self):
        return ["UUIDs", "RSSI", "Pathloss", "Transport", "DuplicateData", "Discoverable", "Pattern"]

    @dbus.service.method(ADAPTER, in_signature="o", out_signature="")
    def RemoveDevice(self, path):
        dev = self.script.devices.get(str(path))
        if dev is None:
            raise error("org.bluez.Error.DoesNotExist", "Does Not Exist")
        self.script.remove_device(dev)


class Device(Obj):
    def __init__(self, bus, script, peer):
        path = ADAPTER_PATH + "/dev_" + peer["address"].replace(":", "_")
        Obj.__init__(self, bus, path)
        self.script = script
        self.peer = peer
        self.gatt = []  # objects under this device while connected
        self.connecting = False
        self.cancel = None
        self.last_seen = GLib.get_monotonic_time()
        self.props = {DEVICE: {
            "Address": dbus.String(peer["address"]),
            "AddressType": dbus.String("public"),
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

    def connected(self):
        return bool(self.props[DEVICE]["Connected"])

    @dbus.service.method(DEVICE, in_signature="", out_signature="", async_callbacks=("ok", "fail"))
    def Connect(self, ok, fail):
        s = self.script
        s.connects += 1
        if self.connected() and self.props[DEVICE]["ServicesResolved"]:
            raise error("org.bluez.Error.AlreadyConnected", "Already Connected")
        if self.connecting:
            raise error("org.bluez.Error.InProgress", "In Progress")
        self.connecting = True
        self.cancel = lambda: fail(error("org.bluez.Error.Failed", "le-connection-abort-by-local"))
        mode = s.options["connect"] if self.peer["kind"] == "thermometer" else "ok"

        def refused():
            self.connecting = False
            fail(error("org.bluez.Error.Failed", "le-connection-abort-by-local"))

        def link_up():
            if not self.connecting:
                return
            self.update(DEVICE, {"Connected": dbus.Boolean(True)})
            if mode == "drop":
                # The link goes while the services are read.
                GLib.timeout_add(100, link_lost)
                return
            s.step("services", resolve)

        def link_lost():
            self.connecting = False
            self.link_down()
            fail(error("org.bluez.Error.Failed", "Software caused connection abort"))

        def resolve():
            if not self.connecting or not self.connected():
                return
            self.connecting = False
            self.export_gatt()
            self.update(DEVICE, {"ServicesResolved": dbus.Boolean(True)})
            ok()

        if mode == "refuse":
            GLib.timeout_add(200, refused)
        else:
            s.step("connect", lambda: GLib.timeout_add(s.options["connect_ms"], link_up))

    @dbus.service.method(DEVICE, in_signature="", out_signature="")
    def Disconnect(self):
        self.script.disconnects += 1
        if self.connecting:
            # A connection under way is called off and its Connect fails.
            self.connecting = False
            self.cancel()
        if self.connected():
            self.link_down()

    @dbus.service.method(DEVICE, in_signature="", out_signature="")
    def Pair(self):
        raise error("org.bluez.Error.AuthenticationFailed", "Authentication Failed")

    def export_gatt(self):
        table = GATT if self.script.options["services"] == "full" else OTHER_GATT
        handle = 0x000A
        for short, chars in table:
            svc = GattObj(self.script.bus, "%s/service%04x" % (self.path, handle), {SERVICE: {
                "UUID": dbus.String(uuid16(short)),
                "Device": dbus.ObjectPath(self.path),
                "Primary": dbus.Boolean(True),
                "Includes": dbus.Array([], signature="o"),
            }})
            self.add(svc)
            handle += 1
            for cshort, flags in chars:
                ch = Characteristic(self.script.bus, self.script, "%s/char%04x" % (svc.path, handle), svc.path,
                                    uuid16(cshort), flags)
                self.add(ch)
                handle += 2
                if "notify" in flags:
                    self.add(GattObj(self.script.bus, "%s/desc%04x" % (ch.path, handle), {DESC: {
                        "UUID": dbus.String(uuid16("2902")),
                        "Characteristic": dbus.ObjectPath(ch.path),
                        "Value": ay(b""),
                    }}, owner=ch))
                    handle += 1

    def add(self, obj):
        self.gatt.append(obj)
        self.script.add_object(obj)

    def link_down(self):
        """bluetoothd on a lost or closed link of an unpaired device: the
        services resolved flag and the link go, and the GATT objects with
        them."""
        s = self.script
        s.stop_measuring()
        if self.props[DEVICE]["ServicesResolved"]:
            self.update(DEVICE, {"ServicesResolved": dbus.Boolean(False)})
        self.update(DEVICE, {"Connected": dbus.Boolean(False)})
        for obj in reversed(self.gatt):
            s.remove_object(obj)
        self.gatt = []
        self.last_seen = GLib.get_monotonic_time()
        s.schedule_expiry(self)

    def characteristic(self, short):
        for obj in self.gatt:
            if isinstance(obj, Characteristic) and obj.uuid == uuid16(short):
                return obj
        return None


class GattObj(Obj):
    def __init__(self, bus, path, props, owner=None):
        Obj.__init__(self, bus, path)
        self.props = props
        self.owner = owner

    @dbus.service.method(DESC, in_signature="a{sv}", out_signature="ay")
    def ReadValue(self, options):
        value = b"\x01\x00" if self.owner is not None and self.owner.notifying() else b"\x00\x00"
        return ay(value)

    @dbus.service.method(DESC, in_signature="aya{sv}", out_signature="")
    def WriteValue(self, value, options):
        # bluetoothd keeps the client configuration to itself.
        raise error("org.bluez.Error.NotPermitted", "Write not permitted")


class Characteristic(Obj):
    def __init__(self, bus, script, path, service, uuid, flags):
        Obj.__init__(self, bus, path)
        self.script = script
        self.uuid = uuid
        self.flags = flags
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

    def notifying(self):
        return bool(self.props[CHAR].get("Notifying", False))

    @dbus.service.method(CHAR, in_signature="a{sv}", out_signature="ay")
    def ReadValue(self, options):
        if "read" not in self.flags:
            raise error("org.bluez.Error.NotPermitted", "Read not permitted")
        return self.props[CHAR]["Value"]

    @dbus.service.method(CHAR, in_signature="aya{sv}", out_signature="", async_callbacks=("ok", "fail"))
    def WriteValue(self, value, options, ok, fail):
        if "write" not in self.flags and "write-without-response" not in self.flags:
            raise error("org.bluez.Error.NotPermitted", "Write not permitted")
        data = bytes(value)
        s = self.script

        def done():
            if self.path not in s.objects:
                fail(error("org.bluez.Error.Failed", "Not connected"))
                return
            s.command(self, data)
            ok()

        s.step("write", done)

    @dbus.service.method(CHAR, in_signature="", out_signature="", async_callbacks=("ok", "fail"))
    def StartNotify(self, ok, fail):
        if "notify" not in self.flags and "indicate" not in self.flags:
            raise error("org.bluez.Error.NotSupported", "Operation is not supported")
        s = self.script

        def done():
            if self.path not in s.objects:
                fail(error("org.bluez.Error.Failed", "Not connected"))
                return
            self.update(CHAR, {"Notifying": dbus.Boolean(True)})
            s.tick_maybe()
            ok()

        if self.notifying():
            ok()
            return
        s.step("notify", done)

    @dbus.service.method(CHAR, in_signature="", out_signature="")
    def StopNotify(self):
        if not self.notifying():
            raise error("org.bluez.Error.Failed", "No notify session started")
        self.update(CHAR, {"Notifying": dbus.Boolean(False)})

    def notify(self, data):
        self.update(CHAR, {"Value": ay(data)})


class Control(dbus.service.Object):
    def __init__(self, bus, script):
        self.script = script
        dbus.service.Object.__init__(self, bus, "/org/arq/script")

    @dbus.service.method(CONTROL, in_signature="a{sv}", out_signature="")
    def Configure(self, options):
        self.script.configure(dict(options))

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
    "period_ms": 250,        # one reading frame per period while measuring
    "first_part": 20,        # bytes of the first notification of a frame
    "readings": [25.125, 25.25, 25.375, 25.5],
    "garbage": 0,            # frames of another kind sent before the readings
    "temporary_ms": 30000,   # an unconnected device is forgotten this long after a scan
    "stall": "",             # connect | services | notify | write: that step's reply is held
    "stall_ms": 0,
    "follow": "",            # HOST:PORT of a dry block whose READ? the readings follow
}


class Script:
    def __init__(self, bus, loop):
        self.bus = bus
        self.loop = loop
        self.objects = {}   # path -> Obj in the object tree
        self.devices = {}   # path -> Device
        self.discovering = False
        self.scans = 0
        self.filter = {}
        self.options = dict(DEFAULTS)
        self.peers = []
        self.reset_counters()
        self.timers = []
        self.rssi_timer = None
        self.root = Root(bus, self)
        self.add_object(Manager(bus), announce=False)
        self.adapter = Adapter(bus, self)
        self.add_object(self.adapter, announce=False)
        self.control = Control(bus, self)
        self.follow_socket = None
        self.configure({})

    def reset_counters(self):
        self.connects = 0
        self.disconnects = 0
        self.writes = []
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
        self.options = dict(DEFAULTS)
        for k, v in options.items():
            if k not in DEFAULTS:
                raise error("org.freedesktop.DBus.Error.InvalidArgs", "unknown option " + k)
            self.options[k] = [float(x) for x in v] if k == "readings" else type(DEFAULTS[k])(v)
        self.scans = 0
        self.stop_measuring()
        self.reset_counters()
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

    # ---- discovery
    def heard(self):
        return [p for p in self.peers if p["scans"] == 0 or self.scans <= p["scans"]]

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

    def stop_discovery(self):
        self.discovering = False
        if self.rssi_timer is not None:
            GLib.source_remove(self.rssi_timer)
            self.rssi_timer = None
        # bluetoothd drops the signal strength of every device once the scan
        # ends and forgets unconnected, unpaired ones after a while.
        for dev in list(self.devices.values()):
            dev.update(DEVICE, {}, ["RSSI"])
            self.schedule_expiry(dev)
        self.adapter.update(ADAPTER, {"Discovering": dbus.Boolean(False)})

    def schedule_expiry(self, dev):
        """Forgets `dev` once it has been neither heard nor connected for temporary_ms."""
        ms = int(self.options["temporary_ms"])
        since = GLib.get_monotonic_time()

        def expire():
            if dev.path not in self.devices or dev.connected() or dev.connecting or self.discovering:
                return
            if dev.last_seen > since:
                self.schedule_expiry(dev)  # heard again meanwhile: counts from then
                return
            self.remove_device(dev)
        self.later(ms, expire)

    # ---- steps that a test may hold up
    def step(self, name, fn):
        if self.options["stall"] == name and self.options["stall_ms"] > 0:
            self.stalled = name

            def release():
                self.stalled = ""
                fn()
            self.later(int(self.options["stall_ms"]), release)
        else:
            fn()

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
        if not ch.notifying():
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
        cut = max(1, min(len(frame) - 1, int(self.options["first_part"])))
        ch.notify(frame[:cut])
        ch.notify(frame[cut:])
        self.frames += 1
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
    name = dbus.service.BusName("org.bluez", bus, do_not_queue=True)
    options = {}
    for arg in args:
        if "=" in arg:
            k, v = arg.split("=", 1)
            options[k] = v.split(",") if k == "readings" else v
    if options:
        script.configure(options)
    print("READY", flush=True)
    loop.run()
    del name
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

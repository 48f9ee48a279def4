#!/usr/bin/python3
"""Keys for a headless GNOME Shell's compositor (mutter --headless): holds one session of mutter's
org.gnome.Mutter.RemoteDesktop D-Bus API, whose virtual keyboard is the seat's keyboard, and
presses the keys named on each line of standard input ("key 0x61 0xff0d", keysyms; "ctrl 0x6c"
holds Control), answering "done" on standard output after each line. Debian's python3-gi."""
import sys

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
service = "org.gnome.Mutter.RemoteDesktop"


def call(path, interface, method, args=None, reply=None):
    return bus.call_sync(service, path, interface, method, args, GLib.VariantType(reply) if reply else None,
                         Gio.DBusCallFlags.NONE, -1, None)


session = call("/org/gnome/Mutter/RemoteDesktop", service, "CreateSession", None, "(o)").unpack()[0]
call(session, service + ".Session", "Start")


def press(keysym, down):
    call(session, service + ".Session", "NotifyKeyboardKeysym", GLib.Variant("(ub)", (keysym, down)))


press(0xFFE1, True)   # the virtual keyboard exists once it has pressed a key
press(0xFFE1, False)
print("ready", flush=True)
for line in sys.stdin:
    words = line.split()
    if words and words[0] in ("key", "ctrl"):
        if words[0] == "ctrl":
            press(0xFFE3, True)
        for keysym in words[1:]:
            press(int(keysym, 0), True)
            press(int(keysym, 0), False)
        if words[0] == "ctrl":
            press(0xFFE3, False)
    print("done", flush=True)

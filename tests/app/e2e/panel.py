# Plays the panel that Fcitx5 shows its menus in (the KDE input method panel's D-Bus protocol,
# which Fcitx5's kimpanel addon speaks), so that a test reads and clicks the input method's menu as
# a person would.
#
# Prints "MENU " and the titles of the top-level items each time Fcitx5 shows a menu. Reads one
# command a line: "click", then the titles of the items to click, each after a tab: the first one
# from the top level, each further one from the sub-menu the one before opened. Prints "CLICKED "
# and the titles once the last one is clicked, "MISSING " and a title when a sub-menu has no such
# item. A top-level title not shown yet is clicked once Fcitx5 shows a menu with it.
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PANEL = "org.kde.impanel"
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
top_level = []  # (property key, title) of the menu shown last
path = []  # the titles of the click under way
pending = []  # those still to click; the first one is clicked in the top level while none is
opened = False  # whether the first one is clicked, so that the next is in its sub-menu


def items(properties):
    # A property is "key:title:icon:hint", with ":" inside the key only after its "/Fcitx/" part.
    result = []
    for text in properties:
        key, _, rest = text.partition(":")
        result.append((key, rest.split(":")[0]))
    return result


def say(*words):
    print(*words, flush=True)


# Clicks the next title among the items; whether it was there.
def click_next(choices):
    for key, shown in choices:
        if shown == pending[0]:
            pending.pop(0)
            bus.emit_signal(None, "/org/kde/impanel", PANEL, "TriggerProperty", GLib.Variant("(s)", (key,)))
            if not pending:
                say("CLICKED", "\t".join(path))
            return True
    return False


def on_signal(connection, sender, object_path, interface, member, parameters):
    global top_level, opened
    if member == "RegisterProperties":
        top_level = items(parameters.unpack()[0])
        say("MENU", "|".join(title for _, title in top_level))
        if pending and not opened:
            opened = click_next(top_level)
    elif member == "ExecMenu" and pending and opened:
        if not click_next(items(parameters.unpack()[0])):
            say("MISSING", pending[0])
            pending.clear()


def on_command(channel, condition):
    global opened
    line = channel.readline()
    if not line:
        loop.quit()
        return False
    words = line.rstrip("\n").split("\t")
    if words[0] == "click" and len(words) > 1:
        path[:] = pending[:] = words[1:]
        opened = click_next(top_level)
    return True


bus.signal_subscribe(None, "org.kde.kimpanel.inputmethod", None, None, None, Gio.DBusSignalFlags.NONE, on_signal)
Gio.bus_own_name_on_connection(bus, PANEL, Gio.BusNameOwnerFlags.NONE, None, None)
GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, on_command)
loop = GLib.MainLoop()
loop.run()

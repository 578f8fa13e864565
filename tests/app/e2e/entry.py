# A GTK 3 window with one text field, as an ordinary application has; prints the field's text
# after every change, so that the test reads back exactly what the application holds. With "busy"
# its main loop is blocked for 300 ms once a second, as a busy application's often is.
import sys
import time

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

window = Gtk.Window(title=sys.argv[1])
entry = Gtk.Entry()
window.add(entry)
entry.connect("changed", lambda e: print("TEXT:" + e.get_text(), flush=True))
window.connect("destroy", Gtk.main_quit)
window.show_all()
print("READY", flush=True)
if sys.argv[2:] == ["busy"]:
    GLib.timeout_add(1000, lambda: time.sleep(0.3) or True)
GLib.timeout_add_seconds(120, Gtk.main_quit)
Gtk.main()

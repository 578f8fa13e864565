# A GTK 3 window with one text field, as an ordinary application has; prints the field's text
# after every change, so that the test reads back exactly what the application holds.
import sys

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
GLib.timeout_add_seconds(120, Gtk.main_quit)
Gtk.main()

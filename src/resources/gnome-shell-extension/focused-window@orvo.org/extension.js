// Exports the focused window's process id, class and title on the session bus as
// org.orvo.FocusedWindow, and signals each change, for the Orvo driver to follow.
'use strict';

const { Gio, GLib } = imports.gi;

const BUS_NAME = 'org.orvo.FocusedWindow';
const OBJECT_PATH = '/org/orvo/FocusedWindow';
const INTERFACE = `<node>
  <interface name="org.orvo.FocusedWindow">
    <method name="Get">
      <arg type="u" name="pid" direction="out"/>
      <arg type="s" name="wmClass" direction="out"/>
      <arg type="s" name="title" direction="out"/>
    </method>
    <signal name="Changed">
      <arg type="u" name="pid"/>
      <arg type="s" name="wmClass"/>
      <arg type="s" name="title"/>
    </signal>
  </interface>
</node>`;

class FocusedWindowExport {
  enable() {
    this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
    this._object.export(Gio.DBus.session, OBJECT_PATH);
    this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME, Gio.BusNameOwnerFlags.NONE, null, null);
    this._window = null;
    this._titleId = 0;
    this._focusId = global.display.connect('notify::focus-window', () => this._follow());
    this._follow();
  }

  disable() {
    global.display.disconnect(this._focusId);
    this._watchTitle(null);
    Gio.bus_unown_name(this._nameId);
    this._object.unexport();
    this._object = null;
  }

  Get() {
    const window = global.display.focus_window;
    if (!window) return [0, '', ''];
    return [window.get_pid() > 0 ? window.get_pid() : 0, window.get_wm_class() || '', window.get_title() || ''];
  }

  _watchTitle(window) {
    if (this._window && this._titleId) this._window.disconnect(this._titleId);
    this._window = window;
    this._titleId = window ? window.connect('notify::title', () => this._emit()) : 0;
  }

  _follow() {
    this._watchTitle(global.display.focus_window);
    this._emit();
  }

  _emit() {
    this._object.emit_signal('Changed', new GLib.Variant('(uss)', this.Get()));
  }
}

function init() {
  return new FocusedWindowExport();
}

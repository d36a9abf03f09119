// For the tests only: org.orvo.test.FocusControl.Activate(pid) gives the focus to that
// process's window (0: to no window, by showing the overview).
'use strict';

const { Gio } = imports.gi;
const Main = imports.ui.main;

const INTERFACE = `<node>
  <interface name="org.orvo.test.FocusControl">
    <method name="Activate">
      <arg type="u" name="pid" direction="in"/>
      <arg type="b" name="found" direction="out"/>
    </method>
  </interface>
</node>`;

class FocusControl {
  enable() {
    this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
    this._object.export(Gio.DBus.session, '/org/orvo/test/FocusControl');
    this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, 'org.orvo.test.FocusControl',
      Gio.BusNameOwnerFlags.NONE, null, null);
  }

  disable() {
    Gio.bus_unown_name(this._nameId);
    this._object.unexport();
  }

  Activate(pid) {
    if (pid === 0) {
      Main.overview.show();
      return true;
    }
    const window = global.display.list_all_windows().find(w => w.get_pid() === pid);
    if (!window) return false;
    Main.overview.hide();
    window.activate(global.get_current_time());
    return true;
  }
}

function init() {
  return new FocusControl();
}

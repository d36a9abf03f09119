#pragma once
// The tray's two pictures, drawn in code like the Qt tray's: the surface as a dark panel
// with four faders and a green lamp when connected; grey, its lamp dark and struck
// through in red when not.
#include <windows.h>

namespace orvo {

// A new icon of `size` pixels square; the caller destroys it (DestroyIcon).
HICON MakeTrayIcon(bool connected, int size);

}  // namespace orvo

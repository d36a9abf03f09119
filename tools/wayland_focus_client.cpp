// A small Wayland client for the focus and keystroke tests: shows an xdg-shell window with
// the given app_id and title and prints one line per event on standard output, in the
// lines of the X11 test client (keycodes as X numbers them, the key's unshifted keysym,
// the modifiers in force before the key):
//   ready pid=1234
//   focus in | focus out
//   press keycode=38 keysym=a state=Shift+Control
// Commands on standard input, one per line: "quit" ends; end of input ends it too. The
// compositor gives new windows the focus; tests move it through the compositor's IPC.
//   orvo-wayland-focus-client [--app-id ID] [--title TEXT]
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xdg-shell-client-protocol.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kWidth = 240, kHeight = 80;

struct Client {
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  wl_seat* seat = nullptr;
  xdg_wm_base* wmBase = nullptr;
  wl_surface* surface = nullptr;
  wl_keyboard* keyboard = nullptr;
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  xkb_keymap* keymap = nullptr;
  xkb_state* state = nullptr;
  bool configured = false;
};

std::string StateText(Client& client) {
  static const char* const kModifiers[] = {"Shift", "Lock", "Control", "Mod1", "Mod2", "Mod3", "Mod4", "Mod5"};
  std::string text;
  for (const char* name : kModifiers) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(client.keymap, name);
    if (index == XKB_MOD_INVALID || xkb_state_mod_index_is_active(client.state, index, XKB_STATE_MODS_EFFECTIVE) <= 0)
      continue;
    if (!text.empty()) text += '+';
    text += name;
  }
  return text.empty() ? "none" : text;
}

void OnKeymap(void* data, wl_keyboard*, uint32_t format, int fd, uint32_t size) {
  auto& client = *static_cast<Client*>(data);
  void* text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
  close(fd);
  if (text == MAP_FAILED) return;
  if (client.state) xkb_state_unref(client.state);
  if (client.keymap) xkb_keymap_unref(client.keymap);
  client.keymap = xkb_keymap_new_from_string(client.context, static_cast<const char*>(text), XKB_KEYMAP_FORMAT_TEXT_V1,
                                             XKB_KEYMAP_COMPILE_NO_FLAGS);
  munmap(text, size);
  client.state = client.keymap ? xkb_state_new(client.keymap) : nullptr;
}
void OnEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) { std::printf("focus in\n"); }
void OnLeave(void*, wl_keyboard*, uint32_t, wl_surface*) { std::printf("focus out\n"); }
void OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t pressed) {
  auto& client = *static_cast<Client*>(data);
  if (!client.state) return;
  const xkb_keycode_t keycode = key + 8;
  const xkb_keysym_t* syms = nullptr;
  char name[64] = "NoSymbol";
  if (xkb_keymap_key_get_syms_by_level(client.keymap, keycode, 0, 0, &syms) > 0)
    xkb_keysym_get_name(syms[0], name, sizeof name);
  std::printf("%s keycode=%u keysym=%s state=%s\n", pressed ? "press" : "release", keycode, name,
              StateText(client).c_str());
}
void OnModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                 uint32_t group) {
  auto& client = *static_cast<Client*>(data);
  if (client.state) xkb_state_update_mask(client.state, depressed, latched, locked, 0, 0, group);
}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener{OnKeymap, OnEnter, OnLeave, OnKey, OnModifiers, OnRepeatInfo};

// The seat has a keyboard once some keyboard exists (with none plugged: a virtual one).
void OnCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
  auto& client = *static_cast<Client*>(data);
  if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !client.keyboard) {
    client.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(client.keyboard, &kKeyboardListener, &client);
  }
}
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener{OnCapabilities, OnSeatName};

void OnPing(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
const xdg_wm_base_listener kWmBaseListener{OnPing};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  auto& client = *static_cast<Client*>(data);
  const std::string wanted = interface;
  if (wanted == wl_compositor_interface.name)
    client.compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
  else if (wanted == wl_shm_interface.name)
    client.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  else if (wanted == wl_seat_interface.name && !client.seat) {
    client.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, version < 4 ? version : 4));
    wl_seat_add_listener(client.seat, &kSeatListener, &client);
  } else if (wanted == xdg_wm_base_interface.name) {
    client.wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(client.wmBase, &kWmBaseListener, &client);
  }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

// A white buffer for the window: a surface without one is never shown.
wl_buffer* WhiteBuffer(wl_shm* shm) {
  const int stride = kWidth * 4, size = stride * kHeight;
  const int fd = memfd_create("orvo-focus-client", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, size) != 0) return nullptr;
  void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels != MAP_FAILED) {
    std::memset(pixels, 0xFF, static_cast<size_t>(size));
    munmap(pixels, static_cast<size_t>(size));
  }
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
  wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, kWidth, kHeight, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

void OnSurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
  auto& client = *static_cast<Client*>(data);
  xdg_surface_ack_configure(surface, serial);
  if (client.configured) {
    wl_surface_commit(client.surface);
    return;
  }
  client.configured = true;
  wl_surface_attach(client.surface, WhiteBuffer(client.shm), 0, 0);
  wl_surface_commit(client.surface);
  std::printf("ready pid=%ld\n", static_cast<long>(getpid()));
}
const xdg_surface_listener kSurfaceListener{OnSurfaceConfigure};

void OnToplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {}
void OnToplevelClose(void*, xdg_toplevel*) {}
void OnToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void OnToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener kToplevelListener{OnToplevelConfigure, OnToplevelClose, OnToplevelBounds,
                                              OnToplevelCapabilities};

}  // namespace

int main(int argc, char** argv) {
  std::string appId = "orvo-focus-client", title = "orvo focus client";
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--app-id") && i + 1 < argc) appId = argv[++i];
    else if (!std::strcmp(argv[i], "--title") && i + 1 < argc) title = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--app-id ID] [--title TEXT]\n", argv[0]);
      return 2;
    }
  }
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::fprintf(stderr, "cannot connect to the Wayland display\n");
    return 1;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Client client;
  wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, &client);
  wl_display_roundtrip(display);
  if (!client.compositor || !client.shm || !client.wmBase) {
    std::fprintf(stderr, "the compositor lacks wl_compositor, wl_shm or xdg_wm_base\n");
    return 1;
  }
  client.surface = wl_compositor_create_surface(client.compositor);
  xdg_surface* surface = xdg_wm_base_get_xdg_surface(client.wmBase, client.surface);
  xdg_surface_add_listener(surface, &kSurfaceListener, &client);
  xdg_toplevel* toplevel = xdg_surface_get_toplevel(surface);
  xdg_toplevel_add_listener(toplevel, &kToplevelListener, &client);
  xdg_toplevel_set_app_id(toplevel, appId.c_str());
  xdg_toplevel_set_title(toplevel, title.c_str());
  wl_surface_commit(client.surface);

  std::string command;
  for (;;) {
    while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
    wl_display_flush(display);
    pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      wl_display_cancel_read(display);
      continue;
    }
    if (fds[0].revents & POLLIN) {
      if (wl_display_read_events(display) < 0) return 1;
    } else {
      wl_display_cancel_read(display);
    }
    if (fds[0].revents & (POLLHUP | POLLERR)) return 1;
    wl_display_dispatch_pending(display);
    if (fds[1].revents) {
      char buffer[256];
      const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
      if (got <= 0) break;  // the test has gone
      command.append(buffer, static_cast<size_t>(got));
      for (size_t end; (end = command.find('\n')) != std::string::npos; command.erase(0, end + 1))
        if (command.substr(0, end) == "quit") return 0;
    }
  }
  wl_display_disconnect(display);
  return 0;
}

#include "app/command_line.h"

namespace orvo {

const char* UsageText() {
  return "usage: orvo [options]\n"
         "  --device PATH        use this tty for the surface (no search by USB description)\n"
         "  --settings-dir DIR   read and write the Keyset files in DIR\n"
         "  --midi-api jack|alsa the MIDI system (default: JACK when a server runs, else ALSA)\n"
         "  --headless           no tray icon and no editor; messages and the monitor go to the terminal\n"
         "  --simulate           play a simulated surface instead of the hardware\n"
         "  --editor             open the editor at start\n"
         "  --list-keysets       print every Keyset with its ports, mode and mappings, then exit\n"
         "  --version, --help\n";
}

ParsedOptions ParseCommandLine(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  Options& o = parsed.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      const auto eq = arg.find('=');
      if (eq != std::string::npos) {
        into = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        into = args[++i];
      } else {
        parsed.error = arg + " needs a value";
        return false;
      }
      if (into.empty()) parsed.error = arg.substr(0, eq) + " needs a value";
      return parsed.error.empty();
    };
    auto is = [&](const char* name) {
      return arg == name || arg.rfind(std::string(name) + "=", 0) == 0;
    };
    if (is("--device")) {
      if (!value(o.devicePath)) break;
    } else if (is("--settings-dir")) {
      if (!value(o.settingsDir)) break;
    } else if (is("--midi-api")) {
      if (!value(o.midiApi)) break;
      if (o.midiApi != "jack" && o.midiApi != "alsa") {
        parsed.error = "--midi-api takes jack or alsa, not \"" + o.midiApi + "\"";
        break;
      }
    } else if (arg == "--headless") {
      o.headless = true;
    } else if (arg == "--simulate") {
      o.simulate = true;
    } else if (arg == "--editor") {
      o.editor = true;
    } else if (arg == "--list-keysets") {
      o.listKeysets = true;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else {
      parsed.error = "unknown option \"" + arg + "\"";
      break;
    }
  }
  if (parsed.error.empty() && o.simulate && !o.devicePath.empty())
    parsed.error = "--simulate and --device exclude each other";
  if (parsed.error.empty() && o.editor && o.headless)
    parsed.error = "--editor needs a display: it cannot go with --headless";
  return parsed;
}

}  // namespace orvo

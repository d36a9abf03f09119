#include "app/command_line.h"

#include <algorithm>

namespace orvo {

const CommandLineSystem& LinuxCommandLine() {
  static const CommandLineSystem system{
      "  --device PATH        use this tty for the surface (no search by USB description)\n",
      {"jack", "alsa"},
      "  --midi-api jack|alsa the MIDI system (default: JACK when a server runs, else ALSA)\n"};
  return system;
}

const CommandLineSystem& WindowsCommandLine() {
  static const CommandLineSystem system{
      "  --device COMn        use this COM port for the surface (no search by USB description)\n",
      {"winmm"},
      "  --midi-api winmm     the MIDI system (the only one, and the default)\n",
      false,
      false};
  return system;
}

std::string UsageText(const CommandLineSystem& system) {
  std::string text = "usage: orvo [options]\n";
  text += system.deviceLine;
  text += "  --settings-dir DIR   read and write the Keyset files in DIR\n";
  text += system.midiLine;
  text += "  --headless           no tray icon and no editor; messages and the monitor go to the terminal\n";
  if (system.simulate) text += "  --simulate           play a simulated surface instead of the hardware\n";
  if (system.editor) text += "  --editor             open the editor at start\n";
  text += "  --list-keysets       print every Keyset with its ports, mode and mappings, then exit\n"
          "  --version, --help\n";
  return text;
}

ParsedOptions ParseCommandLine(const std::vector<std::string>& args, const CommandLineSystem& system) {
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
      if (std::find(system.midiApis.begin(), system.midiApis.end(), o.midiApi) == system.midiApis.end()) {
        std::string names;
        for (const std::string& name : system.midiApis) names += (names.empty() ? "" : " or ") + name;
        parsed.error = "--midi-api takes " + names + ", not \"" + o.midiApi + "\"";
        break;
      }
    } else if (arg == "--headless") {
      o.headless = true;
    } else if (arg == "--simulate") {
      if (!system.simulate) {
        parsed.error = "--simulate is not available in this build: the simulated surface needs the Linux build";
        break;
      }
      o.simulate = true;
    } else if (arg == "--editor") {
      if (!system.editor) {
        parsed.error = "--editor is not available in this build: the editor needs the Qt build";
        break;
      }
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

#pragma once
// The driver's options. With none it runs as a tray application on the surface it finds.
#include <optional>
#include <string>
#include <vector>

namespace orvo {

struct Options {
  std::string devicePath;   // --device PATH: this tty, no discovery
  std::string settingsDir;  // --settings-dir DIR
  std::string midiApi;      // --midi-api jack|alsa; empty: JACK when a server runs, else ALSA
  bool headless = false;    // --headless: no tray, no editor; messages to the terminal
  bool simulate = false;    // --simulate: a simulated surface instead of hardware
  bool editor = false;      // --editor: open the editor at start
  bool listKeysets = false; // --list-keysets: print the Keysets and exit
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  Options options;
  std::string error;  // non-empty: what is wrong, for the user
};

// What the command line offers differs between systems: the device is a tty or a COM
// port, the MIDI systems differ, and the simulated surface and the editor are not in
// every build.
struct CommandLineSystem {
  const char* deviceLine;              // the usage line of --device
  std::vector<std::string> midiApis;   // what --midi-api takes
  const char* midiLine;                // the usage line of --midi-api
  bool simulate = true;                // --simulate is offered
  bool editor = true;                  // --editor is offered
};
const CommandLineSystem& LinuxCommandLine();
const CommandLineSystem& WindowsCommandLine();  // orvo.exe: the Win32 front end

ParsedOptions ParseCommandLine(const std::vector<std::string>& args,
                               const CommandLineSystem& system = LinuxCommandLine());
std::string UsageText(const CommandLineSystem& system = LinuxCommandLine());

}  // namespace orvo
